#pragma once
// A pseudo-terminal pair for line tests: the test plays the router on the
// master side while the program's serial line opens the slave device.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace cofralin::testing {

class PtyPair {
public:
    PtyPair() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            path_ = name;
            // The slave stays open here only as long as the test wants it.
            slave_ = slave;
        }
    }
    ~PtyPair() {
        closeSlave();
        closeMaster();
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    void closeSlave() {
        if (slave_ >= 0) ::close(slave_);
        slave_ = -1;
    }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    void send(std::string_view bytes) const {
        ssize_t ignored = ::write(master_, bytes.data(), bytes.size());
        (void)ignored;
    }
    // Everything the program wrote, waiting up to `wait` for the first byte.
    std::string received(std::chrono::milliseconds wait = std::chrono::milliseconds(200)) const {
        std::string bytes;
        int timeout = static_cast<int>(wait.count());
        for (;;) {
            pollfd entry{master_, POLLIN, 0};
            if (::poll(&entry, 1, timeout) <= 0 || !(entry.revents & POLLIN)) break;
            char buffer[512];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
            timeout = 20;
        }
        return bytes;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace cofralin::testing
