#pragma once
// Helpers of the GUI tests: the modal answerer, a serial line that plays a
// scripted router, and a working folder with the catalogue.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "modal_script.h"
#include "qt_frontend.h"
#include "serial_line.h"

namespace cofralin::testing {

inline QAbstractButton* buttonOf(QWidget* window, int id) {
    return qobject_cast<QAbstractButton*>(QtFrontend::findControl(*window, id));
}

// Lets queued events and timers run for about `ms` milliseconds.
inline void spinEvents(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A router played by a function: each write is recorded and answered at
// once; a read returns what is pending, then nothing (silence).
class ScriptedRouterLine final : public SerialLine {
public:
    std::function<std::string(std::string_view written)> respond;
    std::string written;

    bool isOpen() const override { return true; }
    bool write(std::string_view bytes) override {
        written += bytes;
        if (respond) {
            for (const char c : respond(bytes)) pending_.push_back(c);
        }
        return true;
    }
    std::size_t readSome(std::span<char> buffer, Clock::time_point) override {
        const std::size_t count = std::min(buffer.size(), pending_.size());
        std::copy_n(pending_.begin(), count, buffer.begin());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
        return count;
    }

private:
    std::deque<char> pending_;
};

inline std::size_t countOf(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// A fresh current folder holding the shipped CONFIG.TXT (or nothing), and
// COM1..COM4 pointed at devices that do not exist, so no real port is touched.
class WorkingFolder {
public:
    explicit WorkingFolder(bool withCatalogue = true) : previous_(QDir::currentPath()) {
        for (int port = 1; port <= 4; ++port) {
            const std::string name = "COFRALIN_COM" + std::to_string(port);
            ::setenv(name.c_str(), ("/nonexistent/com" + std::to_string(port)).c_str(), 1);
        }
        if (withCatalogue) {
            QFile::copy(QStringLiteral(COFRALIN_SOURCE_DIR "/CONFIG.TXT"),
                        folder_.filePath(QStringLiteral("CONFIG.TXT")));
        }
        QDir::setCurrent(folder_.path());
    }
    ~WorkingFolder() { QDir::setCurrent(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    QString path() const { return folder_.path(); }

private:
    QString previous_;
    QTemporaryDir folder_;
};

}  // namespace cofralin::testing
