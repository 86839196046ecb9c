#include "q73_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cofralin {

namespace {

using Clock = std::chrono::steady_clock;

// How often the thread looks at the stop request while nothing arrives, and
// how long it waits while no one has the slave open.
constexpr int kPollSliceMs = 20;
constexpr auto kClosedSlaveWait = std::chrono::milliseconds(10);
constexpr auto kHangupGrace = std::chrono::milliseconds(300);

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

Q73Simulator::Q73Simulator(SimulatorOptions options)
    : options_(std::move(options)), router_(options_), random_(options_.seed) {}

Q73Simulator::~Q73Simulator() { stop(); }

bool Q73Simulator::start() {
    if (started_) {
        error_ = "the simulator was started already";
        return false;
    }
    started_ = true;
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0) {
        error_ = systemError("posix_openpt");
        return false;
    }
    char name[128];
    if (::fcntl(masterFd_, F_SETFD, FD_CLOEXEC) != 0 || ::grantpt(masterFd_) != 0 ||
        ::unlockpt(masterFd_) != 0 || ::ptsname_r(masterFd_, name, sizeof name) != 0) {
        error_ = systemError("pseudo-terminal");
        closeMaster();
        return false;
    }
    // Raw mode on the slave side before anyone opens it: the tty layer must not
    // echo the router's output back to it nor turn CR into LF. Setting it through
    // the slave itself works on every system; the slave is closed again at once.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    const bool raw = slave >= 0 && ::tcgetattr(slave, &settings) == 0 &&
                     (::cfmakeraw(&settings), ::tcsetattr(slave, TCSANOW, &settings) == 0);
    if (!raw) error_ = systemError("raw mode");
    if (slave >= 0) ::close(slave);
    if (!raw) {
        closeMaster();
        return false;
    }
    return beginServing(name);
}

bool Q73Simulator::startOn(const std::string& device) {
    if (started_) {
        error_ = "the simulator was started already";
        return false;
    }
    started_ = true;
    masterFd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0) {
        error_ = systemError(device.c_str());
        return false;
    }
    termios settings{};
    if (::tcgetattr(masterFd_, &settings) != 0) {
        error_ = systemError(device.c_str());
        closeMaster();
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(masterFd_, TCSANOW, &settings) != 0) {
        error_ = systemError("raw mode");
        closeMaster();
        return false;
    }
    // Bytes left from an earlier conversation would reach the router first.
    ::tcflush(masterFd_, TCIFLUSH);
    return beginServing(device);
}

bool Q73Simulator::beginServing(const std::string& path) {
    const int flags = ::fcntl(masterFd_, F_GETFL);
    if (flags < 0 || ::fcntl(masterFd_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error_ = systemError("fcntl");
        closeMaster();
        return false;
    }
    slavePath_ = path;
    thread_ = std::thread([this] { run(); });
    return true;
}

void Q73Simulator::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    closeMaster();
}

std::string Q73Simulator::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

RouterState Q73Simulator::snapshot() const {
    std::lock_guard lock(mutex_);
    return router_.state();
}

int Q73Simulator::replyCount() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

bool Q73Simulator::hungUp() const {
    std::lock_guard lock(mutex_);
    return hungUp_;
}

std::optional<Clock::time_point> Q73Simulator::hungUpAt() const {
    std::lock_guard lock(mutex_);
    if (!hungUp_) return std::nullopt;
    return hungUpAt_;
}

bool Q73Simulator::waitForReceived(std::string_view text, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return received_.find(text) != std::string::npos; });
}

void Q73Simulator::run() {
    auto nextChatter = Clock::now();
    char buffer[512];
    while (true) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || hungUp_) break;
        }
        int timeoutMs = kPollSliceMs;
        if (options_.chatter) {
            const auto untilChatter =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextChatter - Clock::now());
            timeoutMs = static_cast<int>(std::clamp<long long>(untilChatter.count(), 0, timeoutMs));
        }
        pollfd entry{masterFd_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (options_.chatter && Clock::now() >= nextChatter) {
            sendChatter();
            nextChatter = Clock::now() + std::chrono::milliseconds(options_.chatterIntervalMs);
        }
        if (ready <= 0) continue;
        if (entry.revents & POLLIN) {
            const ssize_t count = ::read(masterFd_, buffer, sizeof buffer);
            if (count > 0) {
                serveInput(std::string_view(buffer, static_cast<std::size_t>(count)));
                continue;
            }
        }
        // No one has the slave open (EIO, POLLHUP): wait for the program to open it.
        sleepUntil(Clock::now() + kClosedSlaveWait);
    }
}

void Q73Simulator::serveInput(std::string_view bytes) {
    std::vector<RouterOutput> outputs;
    {
        std::lock_guard lock(mutex_);
        received_ += bytes;
        // A silent or chattering router is stuck: it takes nothing in.
        if (!options_.silent && !options_.chatter) {
            for (const char byte : bytes) {
                RouterOutput output = router_.feedByte(byte);
                if (output.bytes.empty()) continue;
                // Echoes in a row go out in one write.
                if (!output.reply && !outputs.empty() && !outputs.back().reply) {
                    outputs.back().bytes += output.bytes;
                } else {
                    outputs.push_back(std::move(output));
                }
            }
        }
    }
    changed_.notify_all();
    const bool slowListing = options_.slowListingMs > 0;
    for (RouterOutput& output : outputs) {
        // A router slow to list echoes a line only when it ends, with its answer.
        if (slowListing && !output.reply) {
            heldEcho_ += output.bytes;
            continue;
        }
        if (slowListing) {
            output.bytes.insert(0, heldEcho_);
            heldEcho_.clear();
            if (output.listing &&
                !sleepUntil(Clock::now() + std::chrono::milliseconds(options_.slowListingMs))) {
                return;
            }
        }
        const bool written =
            output.reply ? writeReply(std::move(output.bytes)) : writeOut(output.bytes);
        if (!written) return;
    }
}

void Q73Simulator::sendChatter() {
    static constexpr const char* kLines[] = {
        "ADSL: buscando portadora en la linea",
        "ATM: celula descartada en vpi 8 vci 32",
        "ADSL: entrenamiento interrumpido, reintentando",
        "PPP: esperando respuesta del concentrador",
    };
    const int index = chatterLines_++;
    writeOut(std::string(kLines[index % 4]) + " (" + std::to_string(index + 1) + ")\r\n");
}

bool Q73Simulator::writeReply(std::string reply) {
    int number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++replies_;
    }
    if (options_.slowMs > 0 &&
        !sleepUntil(Clock::now() + std::chrono::milliseconds(options_.slowMs))) {
        return false;
    }
    reply = spoil(std::move(reply));
    if (options_.hangupAfter > 0 && number == options_.hangupAfter) {
        writeOut(std::string_view(reply).substr(0, reply.size() / 2));
        // Closing the master throws away what the slave has not read yet: give
        // the program the time of a drain to take the half it was sent.
        sleepUntil(Clock::now() + kHangupGrace);
        // Told before the close: the program may see the hang-up at once.
        {
            std::lock_guard lock(mutex_);
            hungUp_ = true;
            hungUpAt_ = Clock::now();
        }
        closeMaster();
        changed_.notify_all();
        return false;
    }
    return writeOut(reply);
}

std::string Q73Simulator::spoil(std::string reply) {
    if (!options_.garbage && !options_.zeroBytes) return reply;
    std::uniform_int_distribution<int> chance(0, 7);
    std::uniform_int_distribution<int> printable(0x21, 0x7e);
    std::string spoiled;
    bool spoiledOnce = false;
    for (const char byte : reply) {
        if (chance(random_) == 0) {
            spoiledOnce = true;
            spoiled += '\0';
            if (options_.garbage) spoiled += static_cast<char>(printable(random_));
        }
        spoiled += byte;
    }
    // Every reply carries the fault, short ones too.
    if (!spoiledOnce) {
        spoiled.insert(spoiled.begin() + static_cast<std::ptrdiff_t>(spoiled.size() / 2), '\0');
        if (options_.garbage) spoiled += static_cast<char>(printable(random_));
    }
    return spoiled;
}

bool Q73Simulator::writeOut(std::string_view bytes) {
    // An unplugged cable: what the router says is lost.
    if (masterFd_ < 0) return false;
    if (slaveClosed()) return true;
    const auto start = Clock::now();
    std::size_t written = 0;
    while (written < bytes.size()) {
        std::size_t chunk = bytes.size() - written;
        if (options_.pace) {
            if (!sleepUntil(start + kPacedByteTime * static_cast<long long>(written))) return false;
            chunk = 1;
        }
        const ssize_t count = ::write(masterFd_, bytes.data() + written, chunk);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && errno != EAGAIN) return true;  // the slave went away
        // The program does not read: wait for room, or for the end.
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return false;
        }
        if (slaveClosed()) return true;
        pollfd entry{masterFd_, POLLOUT, 0};
        ::poll(&entry, 1, kPollSliceMs);
    }
    return true;
}

bool Q73Simulator::sleepUntil(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, until, [&] { return stopping_; });
    return !stopping_;
}

bool Q73Simulator::slaveClosed() const {
    pollfd entry{masterFd_, 0, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLHUP) != 0;
}

void Q73Simulator::closeMaster() {
    if (masterFd_ >= 0) ::close(masterFd_);
    masterFd_ = -1;
}

}  // namespace cofralin
