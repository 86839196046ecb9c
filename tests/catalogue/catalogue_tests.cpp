#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command_catalogue.h"

namespace cofralin {
namespace {

namespace fs = std::filesystem;

std::string ReplaceIn(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class CatalogueFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("cofralin-catalogue-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }

    void write(const std::string& bytes, const std::string& name = "CONFIG.TXT") {
        std::ofstream(directory_ / name, std::ios::binary) << bytes;
    }
    CatalogueLoadResult load() { return LoadCommandCatalogue(catalogue_, directory_); }

    fs::path directory_;
    CommandCatalogue catalogue_;
};

TEST_F(CatalogueFileTest, CrLfAndLfLineEndsGiveTheSameCatalogue) {
    write("SAVE_ALL\r\nsave all\r\nEXIT_CLI\r\nexit\r\nVERSION\r\n1.6.00\r\n");
    ASSERT_EQ(load().status, CatalogueLoadResult::Status::Loaded);
    const CommandCatalogue crlf = catalogue_;

    catalogue_ = {};
    write("SAVE_ALL\nsave all\nEXIT_CLI\nexit\nVERSION\n1.6.00\n");
    ASSERT_EQ(load().status, CatalogueLoadResult::Status::Loaded);
    for (std::size_t i = 0; i < kCatalogueEntryCount; ++i) {
        const auto key = static_cast<CatalogueKey>(i);
        EXPECT_EQ(catalogue_[key], crlf[key]) << CatalogueKeyName(key);
    }
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "save all");
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "exit");
    EXPECT_EQ(catalogue_[CatalogueKey::VERSION], "1.6.00");
}

TEST_F(CatalogueFileTest, LastValueNeedsNoLineFeedAndKeepsItsBlanks) {
    write("HTML_HELP\n  ayuda.html ");
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::HTML_HELP], "  ayuda.html ");
}

TEST_F(CatalogueFileTest, BlankLinesAreSkippedOnlyWhereAKeyLineIsExpected) {
    // The empty line after SHOW_SYSTEM is its value; "show system" then is a
    // key line without a key name, which swallows SAVE_ALL as its value.
    write(
        "\n\nEXIT_CLI\nexit\n\n\nSHOW_SYSTEM\n\nshow system\nSAVE_ALL\nDOS_COMMAND\nq73upgrade "
        "COM\n");
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "exit");
    EXPECT_EQ(catalogue_[CatalogueKey::SHOW_SYSTEM], "");
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "");
    EXPECT_EQ(catalogue_[CatalogueKey::DOS_COMMAND], "q73upgrade COM");
}

TEST_F(CatalogueFileTest, ALineOfBlanksIsAKeyLineThatSwallowsTheNextLine) {
    write("   \nSAVE_ALL\nsave all\nEXIT_CLI\nexit\n");
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "");
    // "save all" was read as a key line holding no key name; "EXIT_CLI" became its value.
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "");
}

TEST_F(CatalogueFileTest, KeyMatchingIsCaseSensitiveSubstringInTableOrder) {
    write(
        "save_all\nlower case fills nothing\n"
        "# comentario SAVE_ALL\nsave all\n"
        "VERSION y DOS_COMMAND\nmismo valor\n"
        "una linea sin clave\nSHOW_SYSTEM\n");
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "save all");
    EXPECT_EQ(catalogue_[CatalogueKey::VERSION], "mismo valor");
    EXPECT_EQ(catalogue_[CatalogueKey::DOS_COMMAND], "mismo valor");
    EXPECT_EQ(catalogue_[CatalogueKey::SHOW_SYSTEM], "");
}

TEST_F(CatalogueFileTest, TabsCarriageReturnsAndZeroBytesAreDropped) {
    write(std::string("SAVE\t_ALL\nsave\tall\r\nEXIT_CLI\nex\0it\n", 34));
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "saveall");
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "exit");
}

TEST_F(CatalogueFileTest, HighBytesAreStoredUnchanged) {
    write("HTML_HELP\nayuda\xe1.html\n");
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::HTML_HELP], "ayuda\xe1.html");
}

TEST_F(CatalogueFileTest, TheLastRecordOfAKeyWinsAndAFinalKeyLineGetsAnEmptyValue) {
    write("SAVE_ALL\nfirst\nEXIT_CLI\nexit\nSAVE_ALL\nsecond\nVERSION\n");
    catalogue_[CatalogueKey::VERSION] = "held before";
    load();
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "second");
    EXPECT_EQ(catalogue_[CatalogueKey::VERSION], "");
}

TEST_F(CatalogueFileTest, TheFileIsFoundWhateverTheCaseOfItsName) {
    for (const char* name : {"config.txt", "Config.Txt", "CONFIG.TXT"}) {
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        catalogue_ = {};
        write("EXIT_CLI\nexit\n", name);
        const CatalogueLoadResult result = load();
        EXPECT_EQ(result.status, CatalogueLoadResult::Status::Loaded) << name;
        EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "exit") << name;
    }
}

TEST_F(CatalogueFileTest, AMissingFileIsReportedWithWhereItWasLookedFor) {
    const CatalogueLoadResult result = load();
    EXPECT_EQ(result.status, CatalogueLoadResult::Status::FileMissing);
    EXPECT_EQ(CatalogueFailureMessage(result),
              "No pudo abrirse el fichero de datos \"CONFIG.TXT\"\nSe buscó en la carpeta " +
                  fs::absolute(directory_).lexically_normal().string() +
                  "; el que se instala con el programa está en /etc/cofralin/CONFIG.TXT.");
}

TEST_F(CatalogueFileTest, AnOverLongLineRefusesTheWholeFileNamingTheLine) {
    const std::string longest(299, 'x');
    write("SAVE_ALL\n" + longest + "\nEXIT_CLI\nexit\nSHOW_SYSTEM\n" + longest + "y\n");
    catalogue_[CatalogueKey::EXIT_CLI] = "held before";
    const CatalogueLoadResult result = load();
    EXPECT_EQ(result.status, CatalogueLoadResult::Status::LineTooLong);
    EXPECT_EQ(result.lineNumber, 6u);
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "held before");
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "");
    const std::string message = CatalogueFailureMessage(result);
    EXPECT_NE(message.find("CONFIG.TXT"), std::string::npos) << message;
    EXPECT_NE(message.find("6"), std::string::npos) << message;
}

TEST_F(CatalogueFileTest, AnOverLongLastLineWithoutLineFeedIsRefusedToo) {
    write("SAVE_ALL\nsave all\nEXIT_CLI\n" + std::string(300, 'x'));
    const CatalogueLoadResult result = load();
    EXPECT_EQ(result.status, CatalogueLoadResult::Status::LineTooLong);
    EXPECT_EQ(result.lineNumber, 4u);
    EXPECT_EQ(catalogue_[CatalogueKey::EXIT_CLI], "");
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], "");
}

TEST_F(CatalogueFileTest, ALineOf299CharactersIsAccepted) {
    const std::string longest(299, 'x');
    write("SAVE_ALL\r\n" + longest + "\r\n");
    ASSERT_EQ(load().status, CatalogueLoadResult::Status::Loaded);
    EXPECT_EQ(catalogue_[CatalogueKey::SAVE_ALL], longest);
}

TEST_F(CatalogueFileTest, EmptyTemplatesAreNamedInOneText) {
    std::ifstream shipped(fs::path(COFRALIN_SOURCE_DIR) / "CONFIG.TXT", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(shipped)),
                           std::istreambuf_iterator<char>());

    // One comment line too many at the top shifts every record: no template is left.
    write("# una linea de mas\n" + text);
    ASSERT_EQ(load().status, CatalogueLoadResult::Status::Loaded);
    const std::vector<CatalogueKey> shifted = EmptyTemplates(catalogue_);
    EXPECT_EQ(shifted.size(), kCommandTemplateCount);
    const std::string all = EmptyTemplatesText(shifted);
    EXPECT_EQ(all.rfind("Faltan 27 órdenes en CONFIG.TXT: SHOW_DHCP_SERVER_SETTING, ", 0), 0u)
        << all;
    EXPECT_NE(all.find(", SET_ADSL_OPEN_ANSI.\n"), std::string::npos) << all;

    // One empty value: that key alone; the settings are no templates.
    catalogue_ = CommandCatalogue{};
    write(ReplaceIn(text, "SAVE_ALL\r\nsave all\r\n", "SAVE_ALL\r\n\r\n") + "VERSION\n\n");
    ASSERT_EQ(load().status, CatalogueLoadResult::Status::Loaded);
    EXPECT_EQ(EmptyTemplates(catalogue_), std::vector<CatalogueKey>{CatalogueKey::SAVE_ALL});
    EXPECT_EQ(EmptyTemplatesText(EmptyTemplates(catalogue_))
                  .rfind("Falta una orden en CONFIG.TXT: SAVE_ALL.\n", 0),
              0u);
    EXPECT_EQ(EmptyTemplatesText({}), "");
}

TEST(ShippedCatalogue, HoldsEveryKeyWithAValue) {
    CommandCatalogue catalogue;
    ASSERT_EQ(LoadCommandCatalogue(catalogue, COFRALIN_SOURCE_DIR).status,
              CatalogueLoadResult::Status::Loaded);
    for (std::size_t i = 0; i < kCatalogueEntryCount; ++i) {
        const auto key = static_cast<CatalogueKey>(i);
        EXPECT_FALSE(catalogue[key].empty()) << CatalogueKeyName(key);
    }
    EXPECT_EQ(catalogue[CatalogueKey::VERSION].size(), 6u);
    // The mapping templates carry the three tokens the add substitutes.
    for (const CatalogueKey key : {CatalogueKey::ADD_NAT_TCP, CatalogueKey::ADD_NAT_UDP}) {
        for (const char* token : {"a.a.a.a", "yy", "zz"}) {
            EXPECT_NE(catalogue[key].find(token), std::string::npos) << token;
        }
    }
}

}  // namespace
}  // namespace cofralin
