// Writes the seed corpora of the fuzz targets from the router simulator's
// model: each procedure runs against a line that feeds what it writes to a
// Q73Router and hands back the router's output, and every byte read (0xFF for
// each quiet read) becomes the seed, so replaying it takes the procedure down
// the same path. The listings and the shipped catalogue are seeds too.
//
//   make_seeds CORPUS_FOLDER

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "connection.h"
#include "fuzz_session.h"
#include "procedure_table.h"
#include "q73_router.h"
#include "router_copy.h"

using namespace cofralin;
using namespace cofralin::fuzzing;

namespace {

class RouterModelLine final : public SerialLine {
public:
    explicit RouterModelLine(const SimulatorOptions& options) : router_(options) {}
    bool isOpen() const override { return true; }
    bool write(std::string_view bytes) override {
        pending_ += router_.feed(bytes);
        return true;
    }
    std::size_t readSome(std::span<char> buffer, Clock::time_point) override {
        if (next_ >= pending_.size()) {
            transcript_.push_back(static_cast<char>(ReplayLine::kQuietMark));
            return 0;
        }
        const std::size_t count = std::min(buffer.size(), pending_.size() - next_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(next_), count, buffer.begin());
        transcript_.append(pending_, next_, count);
        next_ += count;
        return count;
    }
    const std::string& transcript() const { return transcript_; }
    Q73Router& router() { return router_; }

private:
    Q73Router router_;
    std::string pending_;
    std::size_t next_ = 0;
    std::string transcript_;
};

std::filesystem::path corpus;

void writeSeed(const std::string& target, const std::string& name, std::string_view bytes) {
    const std::filesystem::path folder = corpus / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs `procedure` on a session over the router model; the seed is `options`
// followed by every byte the procedure read. `typed` is the bit field of the
// passwords the user types.
void recordSession(const std::string& target, const std::string& name, unsigned char optionByte,
                   int typed, const SimulatorOptions& simulator,
                   const std::function<void(RouterSession&, FuzzFrontend&)>& procedure) {
    // Real time: the model answers at once, the limits only guard a mistake.
    Settings settings = FuzzSettings();
    settings.PromptWaitLimit = std::chrono::seconds(2);
    RouterSession session(settings);
    PrepareSession(session, {});
    auto line = std::make_unique<RouterModelLine>(simulator);
    RouterModelLine& model = *line;
    session.RouterPort = std::move(line);
    FuzzFrontend frontend;
    frontend.passwordsToType = typed;
    frontend.typedPassword = simulator.password;
    procedure(session, frontend);
    writeSeed(target, name, std::string(1, static_cast<char>(optionByte)) + model.transcript());
}

SimulatorOptions withMappings(SimulatorOptions options) {
    options.mappings = {
        {NatProtocol::Udp, 5060, {{192, 168, 1, 10}}, 5060},
        {NatProtocol::Tcp, 8080, {{192, 168, 1, 20}}, 80},
    };
    return options;
}

std::string listingOf(const SimulatorOptions& options, std::string_view command) {
    Q73Router router(options);
    router.feed("pelnotra\r");
    return router.feed(std::string(command) + "\r");
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds CORPUS_FOLDER\n";
        return 2;
    }
    corpus = argv[1];

    SimulatorOptions single;
    SimulatorOptions multi;
    multi.mode = StartMode::MultiPc;
    SimulatorOptions firstStart;
    firstStart.firstStart = true;
    SimulatorOptions noVc;
    noVc.noVc = true;
    SimulatorOptions otherPassword;
    otherPassword.password = "secreto";

    const auto connect = [](RouterSession& session, FuzzFrontend& frontend) {
        RunConnectionProcedure(session, frontend);
    };
    recordSession("fuzz_connection", "single_pc", 0, 0, single, connect);
    recordSession("fuzz_connection", "multi_pc", 0, 0, multi, connect);
    recordSession("fuzz_connection", "first_start", 0, 0, firstStart, connect);
    recordSession("fuzz_connection", "no_vc", 0, 0, noVc, connect);
    recordSession("fuzz_connection", "typed_password", 1, 1, otherPassword, connect);
    writeSeed("fuzz_connection", "silent", std::string(1, '\0'));

    // Each row of the procedure table on its sample router; its index is the
    // option byte that chooses it (see fuzz_operations).
    const auto& rows = testing::Procedures();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const testing::ProcedureRow& row = rows[index];
        const auto run = [&row](RouterSession& session, FuzzFrontend& frontend) {
            row.run(session, frontend);
        };
        const auto option = static_cast<unsigned char>(index);
        recordSession("fuzz_operations", std::string(row.name), option, 0,
                      testing::SampleRouter(row), run);
        SimulatorOptions locked = testing::SampleRouter(row);
        locked.password = "secreto";
        recordSession("fuzz_operations", std::string(row.name) + "_typed_password",
                      static_cast<unsigned char>(option | (1 << 4)), 1, locked, run);
    }

    writeSeed("fuzz_mapping_tables", "vc_listing",
              listingOf(withMappings(multi), "show vc internet"));
    writeSeed("fuzz_mapping_tables", "vc_listing_empty", listingOf(single, "show vc internet"));

    // First byte: distance 19, width 16 (bits 6-7 = 2).
    writeSeed("fuzz_mode_switch", "vc_listing",
              std::string(1, static_cast<char>(0x80 | 19)) + listingOf(single, "show vc internet"));
    writeSeed("fuzz_mode_switch", "dhcp_listing",
              std::string(1, static_cast<char>(0x80 | 19)) + listingOf(multi, "show dhcp server"));
    writeSeed("fuzz_mode_switch", "typed",
              std::string(1, '\x53') + "192.168.1.194/26\n255.255.255.192");

    // A copy of the multi-PC router with a mapping, as a change keeps it.
    RouterCopy copy;
    copy.time = "2026-12-10T06:40:00Z";
    copy.port = "COM1:";
    copy.device = "/dev/ttyUSB0";
    copy.serial = "A10K3XYZ";
    copy.change = "mapeos baja udp 5060";
    copy.listings = {listingOf(withMappings(multi), "show system"),
                     listingOf(withMappings(multi), "show vc internet"),
                     listingOf(withMappings(multi), "show dhcp server")};
    copy.reading = ReadingOfListings(copy.listings);
    writeSeed("fuzz_copy", "multi_pc_copy", CopyText(copy));

    writeSeed("fuzz_version_compare", "system_listing", listingOf(single, "show system"));
    writeSeed("fuzz_version_compare", "two_versions", "1.5.10\n1.5.09");
    writeSeed("fuzz_version_compare", "text_parts", "1.5.b2\n1.5.10a");

    // First byte: a password of seven bytes; bytes below 8 cut the reply.
    writeSeed("fuzz_echo_mask", "echo_in_pieces",
              std::string(1, '\x06') + "secreto" + "sec\x01reto\r\n\x02Login incorrect\r\n");
    writeSeed("fuzz_echo_mask", "echo_after_prompt",
              std::string(1, '\x06') + "secreto" + "Password: sesecreto\x03\r\n>");
    writeSeed("fuzz_echo_mask", "asterisks", std::string(1, '\x06') + "secreto" + "*******\r\n");

    writeSeed("fuzz_catalogue", "CONFIG.TXT",
              fileText(std::filesystem::path(COFRALIN_SOURCE_DIR) / "CONFIG.TXT"));
    writeSeed("fuzz_catalogue", "records",
              "# SAVE_ALL\r\nsave all\r\n\r\n   \r\nswallowed\nVERSION\n1.5\t.10\nEXIT_CLI");
    return 0;
}
