#include "config_app.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <string_view>
#include <system_error>

#include "dialog_look.h"
#include "main_dlg.h"
#include "router_copy.h"

namespace cofralin {

bool ArgumentsAskForRunLog(std::span<const char* const> arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] && std::string_view(arguments[i]).find('d') != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::filesystem::path RunLogPathFor(const std::filesystem::path& startFolder,
                                    const std::filesystem::path& dataFolder) {
    if (::faccessat(AT_FDCWD, startFolder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
        return startFolder / "Router.log";
    }
    // A folder that cannot be made shows up as a log that cannot be written.
    std::error_code ignored;
    std::filesystem::create_directories(dataFolder, ignored);
    return dataFolder / "Router.log";
}

CConfigApp::CConfigApp(int& argc, char** argv)
    : loggingEnabled_(ArgumentsAskForRunLog({argv, static_cast<std::size_t>(argc)}) ? 1 : 0),
      qt_(argc, argv) {
    settings_.LoggingEnabled = loggingEnabled_;
    // Every change keeps a copy of the router first, as the command line does.
    settings_.CopyFolder = DefaultCopyFolder();
    if (settings_.LoggingEnabled == 1) {
        const QString start = QDir::currentPath();
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString own = data.isEmpty() ? start : data + QStringLiteral("/cofralin");
        settings_.RunLogFolder = RunLogPathFor(QFile::encodeName(start).toStdString(),
                                               QFile::encodeName(own).toStdString())
                                     .parent_path();
    }
}

int CConfigApp::run() {
    // The windows and the message boxes share the desktop's font.
    UseDesktopFont();
    CMainDlg mainWindow(settings_);
    // A refused catalogue ends the program before the window shows.
    if (!mainWindow.initialise()) return 0;
    mainWindow.exec();
    return 0;
}

}  // namespace cofralin
