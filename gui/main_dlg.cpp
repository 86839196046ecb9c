#include "main_dlg.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QStringList>

#include "about_dlg.h"
#include "command_catalogue.h"
#include "connect_dlg.h"
#include "connection.h"
#include "dialog_look.h"
#include "event_turns.h"
#include "messages.h"
#include "multi_pc_dlg.h"
#include "port_selector.h"
#include "ports_dlg.h"
#include "qt_frontend.h"
#include "router_port.h"
#include "run_log.h"
#include "single_pc_dlg.h"
#include "software_update.h"
#include "ui_main_dlg.h"
#include "windows_1252.h"

// The pictures live in a static library, whose resources are not registered
// by themselves; this must stand outside any namespace.
static void initialiseResources() { Q_INIT_RESOURCE(cofralin); }

namespace cofralin {

namespace {

// The names a catalogue value may stand for: the catalogue is Windows-1252
// text, unless an editor of this system wrote it in UTF-8; blanks around the
// value are an editing slip more often than part of a name.
QStringList helpNameReadings(const std::string& entry) {
    QStringList readings;
    const QByteArray bytes = QByteArray::fromStdString(entry);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8.decode(bytes);
    if (!utf8.hasError()) readings << asUtf8;
    readings << QString::fromStdString(Windows1252ToUtf8(entry));
    for (qsizetype i = 0, count = readings.size(); i < count; ++i) {
        readings << readings[i].trimmed();
    }
    readings.removeDuplicates();
    return readings;
}

}  // namespace

QUrl HelpDocumentUrl(const std::string& entry, const QDir& directory) {
    if (entry.empty()) return {};
    const QStringList readings = helpNameReadings(entry);
    // Only a scheme of two letters or more followed by "//" makes an address
    // ("C:" is a drive, and "ayuda:v2.html" or "#" are parts of a file name);
    // "file:" addresses too.
    static const QRegularExpression address(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+://|file:)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString written = readings.front().trimmed();
    if (address.match(written).hasMatch()) return QUrl(written, QUrl::TolerantMode);
    // The first reading that names a file there; the first of all otherwise.
    const auto pathOf = [&directory](const QString& name) {
        return QDir::cleanPath(directory.absoluteFilePath(name));
    };
    for (const QString& reading : readings) {
        if (QFileInfo::exists(pathOf(reading))) return QUrl::fromLocalFile(pathOf(reading));
    }
    return QUrl::fromLocalFile(pathOf(readings.front()));
}

CMainDlg::CMainDlg(Settings& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      settings_(settings),
      session_(settings),
      ui_(std::make_unique<Ui::CMainDlg>()),
      openDocument_(OpenWithDesktop) {
    initialiseResources();
    ui_->setupUi(this);
    UseDialogLook(*this);
    portSelector_ = ui_->idc_1001;
    singlePcRadio_ = ui_->idc_1002;
    multiPcRadio_ = ui_->idc_1003;
    portsButton_ = ui_->idc_1004;
    updateButton_ = ui_->idc_1005;
    frontend_ = std::make_unique<QtFrontend>(*this);

    QIcon icon;
    icon.addFile(QStringLiteral(":/images/icon.svg"));
    icon.addFile(QStringLiteral(":/images/icon_32.png"));
    icon.addFile(QStringLiteral(":/images/icon_16.png"));
    setWindowIcon(icon);

    // A Linux window manager's window menu takes no entries of ours: the
    // About box is offered on a right click instead.
    auto* about = new QAction(QStringLiteral("&Acerca de Cofralin..."), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(about, &QAction::triggered, this, &CMainDlg::showAbout);

    // "activated", not a change of the index: choosing the open port again reconnects.
    connect(portSelector_, &QComboBox::activated, this, &CMainDlg::onPortSelected);
    connect(portSelector_, &QComboBox::currentIndexChanged, this, &CMainDlg::showPortInfo);
    connect(portSelector_, &PortSelector::aboutToShowPopup, this, &CMainDlg::readPorts);
    portSelector_->refuseTypedNames();
    connect(singlePcRadio_, &QRadioButton::clicked, this, &CMainDlg::onSinglePcClicked);
    connect(multiPcRadio_, &QRadioButton::clicked, this, &CMainDlg::onMultiPcClicked);
    connect(portsButton_, &QPushButton::clicked, this, &CMainDlg::onPortsClicked);
    connect(updateButton_, &QPushButton::clicked, this, &CMainDlg::onUpdateClicked);
    connect(ui_->idc_1006, &QPushButton::clicked, this, &CMainDlg::onHelpClicked);
    connect(ui_->idc_2, &QPushButton::clicked, this, &CMainDlg::reject);
    session_.runLog.onFailure = [this](const std::string& message) { tellRunLogFailure(message); };
    showWindowState();
}

CMainDlg::~CMainDlg() { session_.runLog.onFailure = nullptr; }

Frontend& CMainDlg::frontend() { return *frontend_; }

void CMainDlg::setDocumentOpener(DocumentOpener opener) { openDocument_ = std::move(opener); }

void CMainDlg::setPortSystem(SystemPaths paths) { portSystem_ = std::move(paths); }

bool CMainDlg::initialise() {
    settings_.DefaultPassword = std::string(kBuiltInPassword);

    const CatalogueLoadResult loaded = LoadCommandCatalogue(settings_.catalogue);
    if (loaded.status != CatalogueLoadResult::Status::Loaded) {
        frontend_->tell({CatalogueFailureMessage(loaded), std::string(kApplicationTitle),
                         MessageSeverity::Notice});
        return false;
    }
    // The program still starts: the file may be meant so. The operations
    // that need a missing command say so again when they are started.
    if (const std::string missing = EmptyTemplatesText(EmptyTemplates(settings_.catalogue));
        !missing.empty()) {
        frontend_->tell({missing, std::string(kApplicationTitle), MessageSeverity::Notice});
    }
    if (settings_.LoggingEnabled == 1) {
        session_.runLog.setPath(settings_.RunLogFolder / kRunLogName);
    }

    portSelector_->setCurrentIndex(-1);
    readPorts();

    window_ = MainWindowState{};
    showWindowState();
    session_.SetRouterMode(RouterMode::Unknown);
    portSelector_->setFocus(Qt::OtherFocusReason);
    return true;
}

void CMainDlg::readPorts() {
    PortSelector* ports = portSelector_;
    std::optional<SerialPort> keep;
    if (ports->currentIndex() >= 0) {
        const std::string chosen = ports->currentText().toStdString();
        for (const SerialPort& port : offeredPorts_) {
            if (port.name == chosen) keep = port;
        }
    }
    // The open port is this program's own: it is offered without a test.
    const PortProbe probe =
        ProbePorts(portSystem_, keep, session_.portOpen() ? session_.PortDevice : std::string());
    offeredPorts_ = probe.offered;
    portRefusal_ = QString::fromStdString(PortLineText(probe));

    {
        // Refilling is no choice of the user's.
        const QSignalBlocker quiet(ports);
        ports->clear();
        for (const SerialPort& port : probe.offered) {
            ports->addItem(QString::fromStdString(port.name));
            ports->setItemData(ports->count() - 1,
                               QString::fromStdString(DeviceDescription(port.device)),
                               Qt::ToolTipRole);
        }
        ports->model()->sort(0);
        ports->setCurrentIndex(keep ? ports->findText(QString::fromStdString(keep->name)) : -1);
    }
    showPortInfo();
}

void CMainDlg::showPortInfo() {
    const PortSelector* ports = portSelector_;
    const int index = ports->currentIndex();
    const QString device =
        index >= 0 ? ports->itemData(index, Qt::ToolTipRole).toString() : QString();
    QStringList lines;
    if (!device.isEmpty()) lines << device;
    if (!portRefusal_.isEmpty()) lines << portRefusal_;
    ui_->portInfoLabel->setText(lines.join(QLatin1Char('\n')));
    portSelector_->setToolTip(device);
}

void CMainDlg::showWindowState() {
    for (const Lamp lamp : {Lamp::NotConnected, Lamp::Connecting, Lamp::Connected}) {
        QWidget* picture = QtFrontend::findControl(*this, LampControl(lamp));
        picture->setVisible(lamp == window_.lamp);
    }
    singlePcRadio_->setEnabled(window_.modesEnabled);
    multiPcRadio_->setEnabled(window_.modesEnabled);
    portsButton_->setEnabled(window_.portsEnabled);
    updateButton_->setEnabled(window_.updateEnabled);

    // An exclusive group refuses to uncheck its checked button; the marks
    // are set as a pair, so it is lifted for the moment.
    QButtonGroup* group = singlePcRadio_->group();
    if (group) group->setExclusive(false);
    singlePcRadio_->setChecked(window_.singleChecked);
    multiPcRadio_->setChecked(window_.multiChecked);
    if (group) group->setExclusive(true);
}

void CMainDlg::tellRunLogFailure(const std::string& message) {
    // Not modal: the drain that met the failure goes on at once; the user
    // closes the box when the dialog of the moment is done.
    auto* box = new QMessageBox(QMessageBox::Warning,
                                QString::fromUtf8(kErrorCaption.data(), kErrorCaption.size()),
                                QString::fromStdString(message), QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("runLogFailure"));
    box->setTextFormat(Qt::PlainText);
    box->addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void CMainDlg::onPortSelected(int index) {
    if (index < 0) return;
    const std::string port = portSelector_->itemText(index).toStdString();
    ShowConnecting(window_);
    showWindowState();
    // The device the selector showed for that name, not whatever bears it now.
    const std::string device = DevicePathForPort(port, offeredPorts_, portSystem_);
    // A port that cannot be opened has shown its message; the amber lamp stays.
    if (!OpenRouterPort(session_, port, device, *frontend_)) return;
    // A copy of the router names the adapter it was taken through.
    for (const SerialPort& offered : offeredPorts_) {
        if (offered.device.path != device) continue;
        session_.PortProduct = offered.device.product;
        session_.PortSerial = offered.device.serial;
    }
    // The windows repaint while the procedures wait for the router.
    TurnEventLoopWhileWaiting(*session_.RouterPort);
    applyConnectionResult(runConnectDialog());
    closeLostPort();
}

int CMainDlg::runConnectDialog() {
    CConnectDlg connecting(session_, this);
    return connecting.exec();
}

void CMainDlg::applyConnectionResult(int dialogResult) {
    ApplyConnectionOutcome(window_, dialogResult == QDialog::Accepted, session_);
    showWindowState();
}

void CMainDlg::closeLostPort() {
    if (!session_.RouterPort || !session_.RouterPort->lost()) return;
    if (!session_.lineLossTold) {
        frontend_->tell({LineLostText(session_.PortName), std::string(kErrorCaption),
                         MessageSeverity::Failure});
    }
    CloseRouterPort(session_);
    ShowLineLost(window_, session_);
    showWindowState();
    {
        // Nothing is chosen now: choosing the port again opens it afresh.
        const QSignalBlocker quiet(portSelector_);
        portSelector_->setCurrentIndex(-1);
    }
    showPortInfo();
}

void CMainDlg::onMultiPcClicked() { runSwitch(RouterMode::MultiPc); }

void CMainDlg::onSinglePcClicked() { runSwitch(RouterMode::SinglePc); }

void CMainDlg::runSwitch(RouterMode to) {
    const bool run = StartSwitch(window_, session_, to);
    // Before anything is painted: the click's mark goes back to the recorded mode.
    showWindowState();
    if (!run) return;
    // The dialog shows the wait cursor itself while it talks to the router;
    // while the user edits it, the arrow shows.
    FinishSwitch(window_, session_, to, runSwitchDialog(to));
    showWindowState();
    closeLostPort();
}

void CMainDlg::onPortsClicked() {
    runPortsDialog();
    closeLostPort();
}

void CMainDlg::onUpdateClicked() {
    runUpdateRouterSoftware();
    closeLostPort();
}

void CMainDlg::onHelpClicked() {
    const QUrl document =
        HelpDocumentUrl(settings_.catalogue[CatalogueKey::HTML_HELP], QDir::current());
    if (document.isEmpty()) return;
    // The failure may be told after the window has gone.
    QPointer<CMainDlg> window(this);
    openDocument_(document, [window, document] {
        if (window) window->showHelpLocation(document);
    });
}

void CMainDlg::showHelpLocation(const QUrl& document) {
    const QString where =
        document.isLocalFile() ? document.toLocalFile() : document.toString(QUrl::FullyEncoded);
    // Not modal-blocking: the answer of xdg-open can arrive while a router
    // operation is running.
    auto* box =
        new QMessageBox(QMessageBox::Information,
                        QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
                        QStringLiteral("Ningún programa de este equipo ha podido abrir la ayuda.\n"
                                       "Ábrala con un navegador; está en:\n%1")
                            .arg(where),
                        QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("helpLocation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
}

void CMainDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainDlg::reject() {
    CloseRouterPort(session_);
    QDialog::reject();
}

// ---------------------------------------------------------------------------
// The dialogs of the router operations. Each is wired in by its own change.

namespace {

SwitchOutcome outcomeOf(const std::optional<Ending>& result) {
    if (result == Ending::Done) return SwitchOutcome::Switched;
    // Refused or not shown afterwards: lines had gone out, the mode is unknown.
    if (result == Ending::HalfConfigured || result == Ending::NotAccepted) {
        return SwitchOutcome::ModeUnknown;
    }
    return SwitchOutcome::NotSwitched;
}

}  // namespace

SwitchOutcome CMainDlg::runSwitchDialog(RouterMode to) {
    if (to == RouterMode::SinglePc) {
        CSinglePcDlg dialog(session_, this);
        dialog.exec();
        return outcomeOf(dialog.switchResult());
    }
    CMultiPcDlg dialog(session_, this);
    dialog.exec();
    return outcomeOf(dialog.switchResult());
}

void CMainDlg::runPortsDialog() {
    CPortsDlg dialog(session_, this);
    dialog.exec();
}

void CMainDlg::runUpdateRouterSoftware() {
    // The button is not usable while the procedure runs.
    updateButton_->setEnabled(false);
    const Outcome outcome = UpdateRouterSoftware(session_, *frontend_);
    // The upgrade program has the serial line now: the program ends with
    // status 0, without the cancel action.
    if (outcome.ending == Ending::HandedOver) {
        done(QDialog::Accepted);
        return;
    }
    updateButton_->setEnabled(true);
}

}  // namespace cofralin
