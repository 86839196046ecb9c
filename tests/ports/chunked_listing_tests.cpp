// The refresh collects a listing that the router sends over several drains:
// a line given reply by reply, each followed by a quiet gap.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "port_mappings.h"
#include "ports_test_view.h"
#include "serial_line.h"

namespace cofralin {
namespace {

using testing::PortsTestView;

// Gives its chunks byte by byte; the end of each chunk reads as the quiet time.
class ChunkedLine final : public SerialLine {
public:
    explicit ChunkedLine(std::deque<std::string> chunks) : chunks_(std::move(chunks)) {}

    bool isOpen() const override { return true; }
    bool write(std::string_view bytes) override {
        written += bytes;
        return true;
    }
    std::optional<char> readByte() override {
        if (chunks_.empty()) return std::nullopt;
        if (chunks_.front().empty()) {
            chunks_.pop_front();
            return std::nullopt;
        }
        const char byte = chunks_.front().front();
        chunks_.front().erase(0, 1);
        return byte;
    }

    std::string written;

private:
    std::deque<std::string> chunks_;
};

TEST(ChunkedListingTest, RowsAndTitlesSplitAcrossDrainsAreListed) {
    const std::string prompt = "\r\nZarn-DSL>";
    auto line = std::make_unique<ChunkedLine>(std::deque<std::string>{
        prompt,
        "show vc internet \r\nVC internet\r\nPort Address Translation, Sta",
        "tic UDP Ports\r\nPublic Port   Private Address   Private Port\r\n        50",
        "60   192.168.001.010        5060\r\nPort Address Translation, Static TCP Ports\r\n"
        "80   192.168.001.020   8080" + prompt,
        prompt,
    });
    ChunkedLine& router = *line;

    SessionState state;
    state.RouterPort = std::move(line);
    state.CommandCatalogue[CatalogueKey::SHOW_VC_INTERNET] = "show vc internet";
    state.CommandCatalogue[CatalogueKey::EXIT_CLI] = "exit";
    PortsTestView view;
    Exchange exchange(state, view.ports(), kPortsDisplay);

    EXPECT_EQ(RefreshMappings(exchange, view), PortsOutcome::Done);

    // The log-in nudge, the listing, one nudge after each of the four replies, the exit.
    EXPECT_EQ(router.written, "\rshow vc internet \r\n\r\r\r\rexit \r\n");
    EXPECT_EQ(view.lists[ports_ids::kUdpList],
              std::vector<std::string>{" 5060\t192.168.001.010\t5060"});
    EXPECT_EQ(view.lists[ports_ids::kTcpList],
              std::vector<std::string>{"80\t192.168.001.020\t8080"});
    EXPECT_EQ(view.lastStatus(), prompt);
    EXPECT_FALSE(view.isEnabled(ports_ids::kDelete));
}

}  // namespace
}  // namespace cofralin
