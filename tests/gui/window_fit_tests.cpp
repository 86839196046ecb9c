// Every window and message box, checked as a user would look at it, at each
// desktop font and size the program must hold: each text fits the control
// that shows it, no two controls overlap (a frame or group box holds the
// controls inside it, clear of its title), and every control lies inside its
// window. The fonts and sizes are walked here; the screen's resolution and
// scale are the process's (CTest runs this once per pair, with QT_FONT_DPI
// and QT_SCALE_FACTOR, and says which in COFRALIN_FIT_DPI and
// COFRALIN_FIT_SCALE). Qt turns 144 dpi into a scale of 1.5 over 96; once
// more with that scaling off, the fonts alone grow by half.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "connect_dlg.h"
#include "connection.h"
#include "dialog_look.h"
#include "dialog_texts.h"
#include "gui_test_support.h"
#include "ip_address_edit.h"
#include "main_dlg.h"
#include "messages.h"
#include "multi_pc.h"
#include "multi_pc_dlg.h"
#include "password_dlg.h"
#include "ports_dlg.h"
#include "qt_frontend.h"
#include "single_pc.h"
#include "single_pc_dlg.h"
#include "software_update.h"

namespace cofralin {
namespace {

using testing::whenModal;
using testing::WorkingFolder;

const char* const kFamilies[] = {"DejaVu Sans", "Noto Sans", "Cantarell", "Liberation Sans"};
constexpr int kSmallest = 8;
constexpr int kLargest = 12;

// Room a control keeps from the edge of the window, and a text from the
// sunken frame around it, in pixels.
constexpr int kWindowMargin = 3;
constexpr int kFramePadding = 1;
// A line edit's own margins on each side, and its caret.
constexpr int kEditMargin = 2;
constexpr int kCaret = 1;
// The port lists' tab stops, in dialog units.
constexpr int kListTabStop = 32;

QString describe(const QWidget& widget) {
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(&widget)) text = label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget)) text = button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(&widget)) text = group->title();
    return widget.objectName() + QStringLiteral(" \"") + text.left(40) + QStringLiteral("\"");
}

// A widget that holds controls of the window: a group box, a bare frame, a
// button box.
bool isContainer(const QWidget& widget) {
    const QMetaObject* type = widget.metaObject();
    return type == &QGroupBox::staticMetaObject || type == &QFrame::staticMetaObject ||
           type == &QWidget::staticMetaObject || type == &QDialogButtonBox::staticMetaObject;
}

// The controls of a window, with those inside its containers: every widget
// shown with it, but not the parts of a composite control.
void collectControls(QWidget& window, QWidget& parent, std::vector<QWidget*>& controls) {
    for (QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(&window) || child->isWindow()) continue;
        controls.push_back(child);
        if (isContainer(*child)) collectControls(window, *child, controls);
    }
}

QRect rectIn(QWidget& window, const QWidget& widget) {
    return {widget.mapTo(&window, QPoint(0, 0)), widget.size()};
}

struct FrameParts {
    QRect inside;  // where held controls may lie, in the window's coordinates
    QRect title;   // the title of a group box; empty for others
};

FrameParts partsOf(QWidget& window, QWidget& container) {
    const QPoint at = container.mapTo(&window, QPoint(0, 0));
    if (auto* group = qobject_cast<QGroupBox*>(&container)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.lineWidth = 1;
        option.midLineWidth = 0;
        option.textAlignment = Qt::AlignLeft;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        QStyle* style = group->style();
        const QRect contents =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, group);
        const QRect title =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return {contents.translated(at), title.translated(at)};
    }
    if (auto* frame = qobject_cast<QFrame*>(&container))
        return {frame->contentsRect().translated(at), {}};
    return {container.rect().translated(at), {}};
}

// The width a line edit needs to show its whole text.
int editNeeds(const QLineEdit& edit) {
    const QMargins text = edit.textMargins();
    int frame = 0;
    if (edit.hasFrame())
        frame = 2 * edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
    return edit.fontMetrics().horizontalAdvance(edit.text()) + 2 * kEditMargin + kCaret +
           text.left() + text.right() + frame;
}

// The room a control's text needs, or an empty size for a control without text.
QSize neededSize(QWidget& control) {
    const QFontMetrics metrics(control.font());
    if (auto* label = qobject_cast<QLabel*>(&control)) {
        if (label->text().isEmpty()) return {};
        // A status in a sunken box keeps its lines off the box's edges.
        const int pad = label->margin() + (label->frameWidth() > 0 ? kFramePadding : 0);
        const int width = label->contentsRect().width() - 2 * pad;
        const QSize text = label->wordWrap()
                               ? metrics
                                     .boundingRect(QRect(0, 0, width, 100000),
                                                   Qt::TextWordWrap | Qt::AlignLeft, label->text())
                                     .size()
                               : metrics.size(Qt::TextExpandTabs, label->text());
        return text + QSize(2 * pad, 2 * pad);
    }
    if (auto* radio = qobject_cast<QRadioButton*>(&control)) {
        QStyle* style = radio->style();
        const int indicator =
            style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio);
        const int spacing = style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio);
        const QSize text = metrics.size(Qt::TextShowMnemonic, radio->text());
        return {indicator + spacing + text.width() + 1, text.height()};
    }
    if (auto* button = qobject_cast<QPushButton*>(&control)) {
        if (button->text().isEmpty()) return {};
        // A caption may wrap at its blanks (the narrow buttons of "Gestionar
        // Puertos"); it needs its lines and a little room around them.
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        const bool wraps = qobject_cast<WrappingPushButton*>(button) != nullptr;
        const QRect text = metrics.boundingRect(
            QRect(0, 0, button->width() - margin, 100000),
            (wraps ? Qt::TextWordWrap : 0) | Qt::TextShowMnemonic | Qt::AlignCenter,
            button->text());
        return {text.width() + margin, text.height() + 4};
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&control)) {
        if (edit->text().isEmpty()) return {};
        return {editNeeds(*edit), 0};
    }
    return {};
}

// What is wrong inside a composite control: a field of an address, the
// text of a selector, a row of a list; one line each.
void compositeFaults(QWidget& control, QStringList& faults) {
    const auto checkEdit = [&](const QLineEdit& edit, const QString& what) {
        if (!edit.text().isEmpty() && editNeeds(edit) > edit.width()) {
            faults << QStringLiteral("%1: \"%2\" needs %3 px, has %4")
                          .arg(what, edit.text())
                          .arg(editNeeds(edit))
                          .arg(edit.width());
        }
    };
    if (auto* address = qobject_cast<IpAddressEdit*>(&control)) {
        for (int i = 0; i < 4; ++i) {
            checkEdit(*address->field(i), describe(control) + QStringLiteral(" field %1").arg(i));
        }
    }
    if (auto* selector = qobject_cast<QComboBox*>(&control); selector && selector->lineEdit()) {
        checkEdit(*selector->lineEdit(), describe(control));
    }
    if (auto* list = qobject_cast<QListWidget*>(&control)) {
        const QStyle* style = list->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        const int tabStop = DialogUnits(list->font()).across(kListTabStop);
        for (int row = 0; row < list->count(); ++row) {
            const QString text = list->item(row)->text();
            const int needs =
                list->fontMetrics().size(Qt::TextExpandTabs, text, tabStop).width() + 2 * margin;
            // Room beside a scroll bar, which a longer list shows.
            const int room = list->maximumViewportSize().width() -
                             style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
            if (needs > room) {
                faults << QStringLiteral("%1: row \"%2\" needs %3 px, has %4")
                              .arg(describe(control), text)
                              .arg(needs)
                              .arg(room);
            }
        }
    }
}

// Everything wrong with the look of `window`, one line each.
QStringList faultsOf(QWidget& window) {
    window.ensurePolished();
    // As showing the window would: its layout, then each container's.
    if (window.layout()) window.layout()->activate();
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->layout()) widget->layout()->activate();
    }
    QStringList faults;
    std::vector<QWidget*> controls;
    collectControls(window, window, controls);
    const QRect windowRoom =
        window.rect().adjusted(kWindowMargin, kWindowMargin, -kWindowMargin, -kWindowMargin);

    for (QWidget* control : controls) {
        const QSize needed = neededSize(*control);
        const QSize room = qobject_cast<QLabel*>(control)
                               ? static_cast<QLabel*>(control)->contentsRect().size()
                               : control->size();
        if (!needed.isEmpty() &&
            (needed.width() > room.width() || needed.height() > room.height())) {
            faults << QStringLiteral("%1 needs %2 x %3 px, has %4 x %5")
                          .arg(describe(*control))
                          .arg(needed.width())
                          .arg(needed.height())
                          .arg(room.width())
                          .arg(room.height());
        }
        compositeFaults(*control, faults);
        if (!windowRoom.contains(rectIn(window, *control))) {
            faults << QStringLiteral("%1 reaches the edge of the window").arg(describe(*control));
        }
        if (auto* group = qobject_cast<QGroupBox*>(control)) {
            const FrameParts parts = partsOf(window, *group);
            const int titleWidth = QFontMetrics(group->font()).horizontalAdvance(group->title());
            if (parts.title.width() < titleWidth || !rectIn(window, *group).contains(parts.title)) {
                faults
                    << QStringLiteral("%1: its title does not fit its frame").arg(describe(*group));
            }
        }
    }

    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* a = controls[i];
            QWidget* b = controls[j];
            const QRect ra = rectIn(window, *a);
            const QRect rb = rectIn(window, *b);
            if (!ra.intersects(rb)) continue;
            if (b->isAncestorOf(a)) std::swap(a, b);
            if (a->isAncestorOf(b)) {
                const FrameParts parts = partsOf(window, *a);
                const QRect held = rectIn(window, *b);
                if (parts.inside.contains(held) && !parts.title.intersects(held)) continue;
                faults << QStringLiteral("%1 is not inside %2, or crosses its frame or title")
                              .arg(describe(*b), describe(*a));
                continue;
            }
            faults << QStringLiteral("%1 overlaps %2").arg(describe(*a), describe(*b));
        }
    }
    return faults;
}

void setStatus(QWidget& window, int id, std::string_view text) {
    if (auto* label = qobject_cast<QLabel*>(QtFrontend::findControl(window, id))) {
        label->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
}

void setText(QWidget& window, int id, const QString& text) {
    QWidget* control = QtFrontend::findControl(window, id);
    if (auto* address = qobject_cast<IpAddressEdit*>(control)) address->setText(text);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(text);
}

void show(QWidget& window, int id, bool shown) {
    if (QWidget* control = QtFrontend::findControl(window, id)) control->setVisible(shown);
}

// The widest value each address field shows.
const QString kWidestAddress = QStringLiteral("255.255.255.255");

struct WindowCase {
    const char* name;
    // Makes the window as the user sees it in one of its states, with the
    // widest texts its fields take.
    std::function<std::unique_ptr<QWidget>(Settings&, RouterSession&)> make;
};

template <typename Dialog>
std::unique_ptr<Dialog> make(RouterSession& session) {
    return std::make_unique<Dialog>(session);
}

// The longest name a copy of the window's ports gets.
constexpr const char* kCopyKeptStatus = "Copia guardada en 20261210-064000-COM4-99.copia";

std::unique_ptr<QWidget> connection(RouterSession& session, const std::string& status) {
    auto window = make<CConnectDlg>(session);
    setStatus(*window, 1007, status);
    return window;
}

std::unique_ptr<QWidget> singlePc(RouterSession& session, bool failed) {
    auto window = make<CSinglePcDlg>(session);
    setText(*window, 1013, kWidestAddress);
    setText(*window, 1014, kWidestAddress);
    setStatus(
        *window, 1016,
        failed ? WithPressNote(kSinglePcFailedText, false) : std::string(kSinglePcPromptText));
    // The failure path shows Cancel in place of OK.
    show(*window, 2, failed);
    show(*window, 1, !failed);
    return window;
}

const std::vector<WindowCase>& windowCases() {
    static const std::vector<WindowCase> cases = {
        {"MainWindow",
         [](Settings& settings, RouterSession&) -> std::unique_ptr<QWidget> {
             auto window = std::make_unique<CMainDlg>(settings);
             auto* selector = qobject_cast<QComboBox*>(QtFrontend::findControl(*window, 1001));
             selector->addItem(QStringLiteral("COM4:"));
             selector->setCurrentIndex(0);
             // The line under the selector with a device and a refused port.
             window->findChild<QLabel*>(QStringLiteral("portInfoLabel"))
                 ->setText(QStringLiteral(
                     "/dev/ttyUSB0 · FT232R USB UART · A10K3XYZ\n"
                     "Sin permiso para abrir /dev/ttyUSB1 (grupo dialout): ejecute «sudo usermod "
                     "-aG dialout tecnico» y vuelva a iniciar la sesión."));
             return window;
         }},
        {"About",
         [](Settings&, RouterSession&) -> std::unique_ptr<QWidget> {
             return std::make_unique<CAboutDlg>();
         }},
        {"ConnectionDone",
         [](Settings&, RouterSession& session) {
             return connection(session, WithPressNote(kConnectedText, true));
         }},
        {"ConnectionSilent",
         [](Settings&, RouterSession& session) {
             return connection(session, WithPressNote(kRouterSilentText, false));
         }},
        {"ConnectionRefused",
         [](Settings&, RouterSession& session) {
             return connection(session, WithPressNote(kWrongPasswordText, false));
         }},
        {"Password",
         [](Settings&, RouterSession&) -> std::unique_ptr<QWidget> {
             return std::make_unique<CPasswordDlg>();
         }},
        {"SinglePc", [](Settings&, RouterSession& session) { return singlePc(session, false); }},
        {"SinglePcFailed",
         [](Settings&, RouterSession& session) { return singlePc(session, true); }},
        // The status names the copy kept before the change, for a moment.
        {"SinglePcCopyKept",
         [](Settings&, RouterSession& session) -> std::unique_ptr<QWidget> {
             auto window = singlePc(session, false);
             setStatus(*window, 1016, kCopyKeptStatus);
             return window;
         }},
        {"MultiPc",
         [](Settings&, RouterSession& session) -> std::unique_ptr<QWidget> {
             auto window = make<CMultiPcDlg>(session);
             for (const int id : {1013, 1014, 1015, 1016}) setText(*window, id, kWidestAddress);
             setStatus(*window, 1012, kMultiPcPromptText);
             return window;
         }},
        {"Ports",
         [](Settings&, RouterSession& session) -> std::unique_ptr<QWidget> {
             auto window = make<CPortsDlg>(session);
             setText(*window, 1018, QStringLiteral("65535"));
             setText(*window, 1019, QStringLiteral("65535"));
             setText(*window, 1020, kWidestAddress);
             // A type chosen: a list shown, with a row as wide as a mapping gets.
             auto* list = qobject_cast<QListWidget*>(QtFrontend::findControl(*window, 1025));
             list->addItem(QStringLiteral(" 65535\t192.168.100.200\t65535"));
             list->setVisible(true);
             setStatus(*window, 1023, "\r\nZarn-DSL>");
             return window;
         }},
        {"PortsCopyKept",
         [](Settings&, RouterSession& session) -> std::unique_ptr<QWidget> {
             auto window = make<CPortsDlg>(session);
             setStatus(*window, 1023, kCopyKeptStatus);
             return window;
         }},
    };
    return cases;
}

struct MessageCase {
    std::string text;
    std::string caption;
    MessageButtons buttons;
    MessageSeverity severity;
};

// The longest message texts, with each kind of buttons.
std::vector<MessageCase> messageCases() {
    std::string longest(kShippedNewerText);
    for (const char* version : {"A1B2C3", "A1B2C4"})
        longest.replace(longest.find("%s"), 2, version);
    return {
        {longest, std::string(kUpdateCaption), MessageButtons::OkCancel, MessageSeverity::Notice},
        {"No pudo abrirse el puerto de comunicaciones COM4:", "Error", MessageButtons::Ok,
         MessageSeverity::Failure},
        {"Se dispone a eliminar el puerto TCP público 65535\n¿Está seguro?", "Eliminar Puertos",
         MessageButtons::YesNo, MessageSeverity::Notice},
    };
}

QStringList messageFaults(const MessageCase& message) {
    QWidget owner;
    QtFrontend view(owner);
    QStringList faults;
    bool seen = false;
    const auto answer = whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        seen = true;
        faults = faultsOf(*box);
        if (box->font() != QApplication::font()) faults << QStringLiteral("another font");
        box->reject();
        return true;
    });
    view.showMessage(message.text, message.caption, message.buttons, message.severity);
    if (!seen) faults << QStringLiteral("the message box never showed");
    return faults;
}

int environmentNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

TEST(WindowFit, EveryWindowAtEveryFontAndSize) {
    // The screen is the one CTest asked for.
    const int dpi = environmentNumber("COFRALIN_FIT_DPI", 96);
    const int scale = environmentNumber("COFRALIN_FIT_SCALE", 1);
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_DOUBLE_EQ(screen->logicalDotsPerInch() * screen->devicePixelRatio(), dpi * scale)
        << "QT_FONT_DPI and QT_SCALE_FACTOR did not take";

    const WorkingFolder folder;
    const QFont before = QApplication::font();
    QElapsedTimer clock;
    clock.start();
    QStringList faults;
    int looks = 0;
    for (const char* family : kFamilies) {
        ASSERT_EQ(QFontInfo(QFont(QString::fromLatin1(family), kSmallest)).family(),
                  QString::fromLatin1(family))
            << family << " is not installed (scripts/install-deps.sh installs it)";
        for (int size = kSmallest; size <= kLargest; ++size) {
            // The desktop's font, as a platform theme would give it.
            QApplication::setFont(QFont(QString::fromLatin1(family), size));
            const QString where = QStringLiteral("%1 %2 pt, %3 dpi, scale %4")
                                      .arg(QString::fromLatin1(family))
                                      .arg(size)
                                      .arg(dpi)
                                      .arg(scale);
            for (const WindowCase& windowCase : windowCases()) {
                Settings settings;
                RouterSession session(settings);
                const std::unique_ptr<QWidget> window = windowCase.make(settings, session);
                const QString name =
                    where + QStringLiteral(", ") + QString::fromLatin1(windowCase.name);
                for (const QString& fault : faultsOf(*window))
                    faults.push_back(name + QStringLiteral(": ") + fault);
                if (window->font() != QApplication::font()) {
                    faults.push_back(name + QStringLiteral(": not in the desktop's font"));
                }
                if (window->minimumSize() != window->maximumSize()) {
                    faults.push_back(name + QStringLiteral(": the window can be resized"));
                }
                ++looks;
            }
            for (const MessageCase& message : messageCases()) {
                const QString name = where + QStringLiteral(", message \"") +
                                     QString::fromStdString(message.caption) + QStringLiteral("\"");
                for (const QString& fault : messageFaults(message)) {
                    faults.push_back(name + QStringLiteral(": ") + fault);
                }
                ++looks;
            }
        }
    }
    QApplication::setFont(before);
    std::printf("%d windows and message boxes looked at in %lld ms\n", looks,
                static_cast<long long>(clock.elapsed()));
    std::string report;
    for (const QString& fault : faults) report += "\n  " + fault.toStdString();
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults:" << report;
}

}  // namespace
}  // namespace cofralin
