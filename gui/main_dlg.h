#pragma once
// The main window "Q73 ADSL Zarn Router 1.5.1".
//
// How it works: initialise() stores the built-in password, loads the command
// catalogue (a refused file ends the program before the window shows), fills
// the port selector with the ports that can be opened and lights the red
// lamp. The ports are read again each time the selector drops down, keeping
// the current choice; the label under it names the device behind the chosen
// port and says why a port found is not offered. Choosing a port (also the one already chosen)
// lights the amber lamp, opens the port and runs "Comunicación"; its result and the mode flags it
// leaves decide the lamp, the enabled controls and the radio marks (the rules
// live in MainWindowState). A click on the radio button of the other mode
// runs that mode's dialog; "Gestionar Puertos" and "Actualizar Software" run
// theirs; "Ayuda" opens the help document; the context menu offers the About
// box. "Salir", Escape and the close box close the port and end the program.
// A run log that cannot be written is told once, in a message that does not
// hold up the router work.
//
// Beneath the windows: the Settings read once (the catalogue among them) and
// one RouterSession that holds the port and the mode flags. Each dialog holds
// a QtFrontend and its handlers call the plain C++ procedures of
// core/procedures/ with the session, which run one Operation each: log in,
// send lines built beforehand (configuration_lines.h), read back, and return
// an Outcome the dialog turns into its controls.

#include <QDialog>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "document_opener.h"
#include "frontend.h"
#include "main_window_state.h"
#include "port_discovery.h"
#include "router_session.h"

class QDir;
class QPushButton;
class QRadioButton;

namespace Ui {
class CMainDlg;
}

namespace cofralin {

class PortSelector;
class QtFrontend;

// The address the help entry of the catalogue names: a URL ("scheme://...",
// "file:...") as it stands, anything else a file relative to `directory`,
// whatever blanks, "#", "%" or letters beyond ASCII its name holds; empty for
// an empty entry.
QUrl HelpDocumentUrl(const std::string& entry, const QDir& directory);

class CMainDlg final : public QDialog {
    Q_OBJECT

public:
    // The catalogue is loaded into `settings` by initialise().
    explicit CMainDlg(Settings& settings, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The initialisation steps. False when the catalogue file was refused:
    // the message has been shown and the window must not be.
    bool initialise();

    // Applies the connection dialog's result; the port-selected handler uses it.
    void applyConnectionResult(int dialogResult);

    const MainWindowState& windowState() const { return window_; }
    // The session of the window's router.
    RouterSession& session() { return session_; }
    // The front end of the main window's own procedure (the software update).
    Frontend& frontend();

    // How "Ayuda" hands a document to the desktop; tests replace it.
    void setDocumentOpener(DocumentOpener opener);
    // Where the serial ports are looked for; tests point it at a fake tree.
    void setPortSystem(SystemPaths paths);

public slots:
    void onPortSelected(int index);
    void onSinglePcClicked();
    void onMultiPcClicked();
    void onPortsClicked();
    void onUpdateClicked();
    void onHelpClicked();
    void showAbout();
    // "Salir", Escape and the close box.
    void reject() override;

private:
    // The dialogs of the router operations, one call each.
    // Each runs its dialog modally and tells how it left the router.
    // A click on the radio button of `to`: its dialog when the other mode is
    // the recorded one.
    void runSwitch(RouterMode to);
    SwitchOutcome runSwitchDialog(RouterMode to);
    void runPortsDialog();
    void runUpdateRouterSoftware();

    int runConnectDialog();
    // Closes the port when its device is gone, telling the user if no dialog did.
    void closeLostPort();
    void showWindowState();
    void tellRunLogFailure(const std::string& message);
    // Fills the selector with the ports that open now, keeping the choice.
    void readPorts();
    void showPortInfo();
    // Says where the help document lies when no program could show it.
    void showHelpLocation(const QUrl& document);

    Settings& settings_;
    RouterSession session_;
    std::unique_ptr<Ui::CMainDlg> ui_;
    // The controls the handlers read and set, by their role.
    PortSelector* portSelector_;
    QRadioButton* singlePcRadio_;
    QRadioButton* multiPcRadio_;
    QPushButton* portsButton_;
    QPushButton* updateButton_;
    std::unique_ptr<QtFrontend> frontend_;
    // What the port selector offers, with the device behind each name.
    std::vector<SerialPort> offeredPorts_;
    MainWindowState window_;
    DocumentOpener openDocument_;
    SystemPaths portSystem_;
    QString portRefusal_;  // why a port found is not offered, from the last read
};

}  // namespace cofralin
