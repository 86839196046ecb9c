#include "config_app.h"

#include <string_view>

#include "main_dlg.h"

namespace cofralin {

bool ArgumentsAskForRunLog(std::span<const char* const> arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] && std::string_view(arguments[i]).find('d') != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

CConfigApp::CConfigApp(int& argc, char** argv)
    : loggingEnabled_(ArgumentsAskForRunLog({argv, static_cast<std::size_t>(argc)}) ? 1 : 0),
      qt_(argc, argv) {
    state_.LoggingEnabled = loggingEnabled_;
}

int CConfigApp::run() {
    CMainDlg mainWindow(state_);
    // A refused catalogue ends the program before the window shows.
    if (!mainWindow.initialise()) return 0;
    mainWindow.exec();
    return 0;
}

}  // namespace cofralin
