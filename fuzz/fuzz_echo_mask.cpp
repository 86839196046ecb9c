// The masking of a typed password's echo in the run log, over arbitrary
// replies cut at arbitrary points. The first input byte gives the password's
// length (1 to 16) and the bytes after it the password, sent with its CR LF; each following byte
// below 8 cuts the reply there. Masking only ever turns bytes into asterisks,
// keeps the reply's length, does not depend on where the reply was cut, and
// hides an echo that starts the reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "run_log.h"

using namespace cofralin;

namespace {

std::string masked(std::string_view password, const std::vector<std::string_view>& pieces) {
    EchoMask mask;
    mask.expect(std::string(password) + "\r\n");
    std::string out;
    for (const std::string_view piece : pieces) out += mask.pass(piece);
    return out + mask.flush();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t length = 1 + data[0] % 16;
    if (size < 1 + length) return 0;
    const std::string_view password(reinterpret_cast<const char*>(data) + 1, length);
    // A typed password is one line: it holds no line end.
    if (password.find_first_of("\r\n") != std::string_view::npos) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1 + length,
                                 size - 1 - length);

    std::string reply;
    std::vector<std::size_t> cuts;
    for (const char c : input) {
        if (static_cast<unsigned char>(c) < 8) {
            cuts.push_back(reply.size());
        } else {
            reply += c;
        }
    }
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        pieces.push_back(std::string_view(reply).substr(from, cut - from));
        from = cut;
    }
    pieces.push_back(std::string_view(reply).substr(from));

    const std::string whole = masked(password, {reply});
    if (masked(password, pieces) != whole) std::abort();
    if (whole.size() != reply.size()) std::abort();
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i] != reply[i] && whole[i] != '*') std::abort();
    }
    if (reply.starts_with(password) && whole.substr(0, length) != std::string(length, '*')) {
        std::abort();
    }
    return 0;
}
