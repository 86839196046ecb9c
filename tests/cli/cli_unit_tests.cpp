// The pure parts of cofralin-cli: what the arguments become, the port names,
// how results are written and which password files are taken.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "arguments.h"
#include "password_source.h"
#include "port_targets.h"
#include "report.h"

namespace cofralin::cli {
namespace {

TEST(CliArguments, ValuesReachTheRouterInPlainForm) {
    const struct Case {
        std::vector<std::string> arguments;
        Order order;
        std::vector<std::string> values;  // what the request holds, in order
    } cases[] = {
        {{"monopuesto", "010.1.1.1/24"}, Order::SinglePc, {"10.1.1.1", "255.255.255.0"}},
        {{"--json", "monopuesto", "10.1.1.77/255.255.255.240", "-p", "COM1"},
         Order::SinglePc,
         {"10.1.1.77", "255.255.255.240"}},
        {{"multipuesto", "172.26.0.1/28", "--estacion", "172.26.0.5"},
         Order::MultiPc,
         {"172.26.0.1", "255.255.255.240", "172.26.0.5"}},
        {{"multipuesto", "172.26.0.1/28"},
         Order::MultiPc,
         {"172.26.0.1", "255.255.255.240", "0.0.0.0"}},
        {{"mapeos", "alta", "TCP", "0080", "192.168.001.010", "8080"},
         Order::MappingAdd,
         {"80", "192.168.1.10", "8080"}},
        {{"mapeos", "baja", "udp", "5060"}, Order::MappingDelete, {"5060"}},
        {{"mapeos"}, Order::Mappings, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1 % c.arguments.size()]);
        const ParsedArguments parsed = ParseArguments(c.arguments);
        ASSERT_EQ(parsed.kind, ParsedArguments::Kind::Run) << parsed.error;
        const CliRequest& r = parsed.request;
        EXPECT_EQ(r.order, c.order);
        std::vector<std::string> values;
        if (c.order == Order::SinglePc) values = {r.singlePc.mgmtAddress, r.singlePc.mgmtMask};
        if (c.order == Order::MultiPc) {
            values = {r.multiPc.lanAddress, r.multiPc.lanMask, r.multiPc.defaultStation};
        }
        if (c.order == Order::MappingAdd) {
            values = {r.mapping.PublicPortText, r.mapping.PrivateAddressText,
                      r.mapping.PrivatePortText};
        }
        if (c.order == Order::MappingDelete) values = {r.mapping.PublicPortText};
        EXPECT_EQ(values, c.values);
    }
    const ParsedArguments options = ParseArguments(
        {"estado", "-p", "COM1", "--registro", "/tmp", "-p", "/dev/ttyUSB0", "--comprobar"});
    EXPECT_EQ(options.request.ports, (std::vector<std::string>{"COM1", "/dev/ttyUSB0"}));
    EXPECT_EQ(options.request.logFolder, std::filesystem::path("/tmp"));
    EXPECT_TRUE(options.request.dryRun);
    EXPECT_EQ(ParseArguments({"--help"}).kind, ParsedArguments::Kind::Help);
    EXPECT_EQ(ParseArguments({"--version"}).kind, ParsedArguments::Kind::Version);
    EXPECT_NE(HelpText().find("--clave-fichero FICHERO"), std::string::npos);
}

TEST(CliPorts, NamesWithOrWithoutTheColon) {
    const struct {
        std::string argument;
        std::optional<std::string> name;
    } cases[] = {{"COM1", "COM1:"}, {"com12:", "COM12:"}, {"COM99", "COM99:"}, {"COM100", {}},
                 {"COM0", {}},      {"COM", {}},          {"ttyUSB0", {}},     {"COM1::", {}}};
    for (const auto& c : cases) EXPECT_EQ(PortNameOf(c.argument), c.name) << c.argument;
}

TEST(CliReport, LinesShowTheirEndingsAndJsonLeavesOutWhatWasNotRead) {
    EXPECT_EQ(ShownLine("3 REJECT tcp-dst-port=80;\r"), "3 REJECT tcp-dst-port=80;\\r");
    EXPECT_EQ(ShownLine("\x04"), "\\x04");
    EXPECT_EQ(ShownLine("a\\b \r\n"), "a\\\\b \\r\\n");

    PortResult result;
    result.port = "COM2:";
    result.device = "/dev/ttyUSB1";
    result.order = Order::SinglePc;
    result.result = Result::Ok;
    result.message = "Comprobación";
    result.read.vcLocalAddress = "192.000.002.010";
    result.read.vcRemoteSubnet = "192.000.002.002/26";
    result.lines = std::vector<std::string>{"save all \r\n", "clave pelnotra\r\n"};
    result.elapsed = std::chrono::milliseconds(1234);
    const nlohmann::json json = nlohmann::json::parse(ResultJson(result, {"pelnotra"}));
    EXPECT_EQ(json["order"], "monopuesto");
    EXPECT_EQ(json["circuit"]["local"], "192.0.2.10");
    EXPECT_EQ(json["circuit"]["remote"], "192.0.2.2/26");
    EXPECT_EQ(json["lines"][1], "clave ********\r\n");
    EXPECT_EQ(json["elapsed_ms"], 1234);
    for (const char* absent : {"mode", "dhcp", "mappings", "router_version", "shipped_version"}) {
        EXPECT_FALSE(json.contains(absent)) << absent;
    }
    const std::string text = ResultText(result, true, {"pelnotra"});
    EXPECT_TRUE(text.starts_with("COM2: monopuesto: cambiaría (ok)\n")) << text;
    EXPECT_NE(text.find("COM2:     save all \\r\\n\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("pelnotra"), std::string::npos);
}

TEST(CliPasswordFile, OnlyAFileOfItsOwnerAloneIsTaken) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("cofralin-cli-unit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const struct Case {
        std::string name;
        std::string text;
        mode_t mode;
        std::optional<std::string> password;
    } cases[] = {
        {"owner", "Secreto\r\nsegunda\n", 0600, "Secreto"},
        {"read only", "Secreto", 0400, "Secreto"},
        {"group", "Secreto\n", 0640, std::nullopt},
        {"others", "Secreto\n", 0604, std::nullopt},
        {"empty", "\n", 0600, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::filesystem::path file = folder / c.name;
        std::ofstream(file) << c.text;
        ::chmod(file.c_str(), c.mode);
        std::string error;
        EXPECT_EQ(ReadPasswordFile(file, error), c.password) << c.name;
        EXPECT_EQ(error.empty(), c.password.has_value()) << c.name << ": " << error;
    }
    std::filesystem::create_symlink(folder / "owner", folder / "link");
    std::string error;
    EXPECT_FALSE(ReadPasswordFile(folder / "link", error));
    EXPECT_NE(error.find("enlace simbólico"), std::string::npos) << error;
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace cofralin::cli
