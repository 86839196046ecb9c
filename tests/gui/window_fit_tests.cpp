// Every window offscreen, checked as a user would look at it: each text fits
// the control that shows it, and no two controls overlap, except a frame or a
// group box around the controls inside it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "connect_dlg.h"
#include "connection.h"
#include "dialog_look.h"
#include "dialog_texts.h"
#include "gui_test_support.h"
#include "login.h"
#include "main_dlg.h"
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

// Room a control with a text keeps from the edge of the window, and a text
// from the sunken frame around it, in pixels.
constexpr int kWindowMargin = 3;
constexpr int kFramePadding = 1;

QString describe(const QWidget& widget) {
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(&widget)) text = label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget)) text = button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(&widget)) text = group->title();
    return widget.objectName() + QStringLiteral(" \"") + text.left(40) + QStringLiteral("\"");
}

// The controls of a window: its direct children that are shown with it.
std::vector<QWidget*> controlsOf(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&window) && !child->isWindow()) controls.push_back(child);
    }
    return controls;
}

// A control that frames others: a group box or a bare frame.
bool isFrame(const QWidget& widget) {
    return qobject_cast<const QGroupBox*>(&widget) ||
           QString::fromLatin1(widget.metaObject()->className()) == QStringLiteral("QFrame");
}

struct FrameParts {
    QRect inside;  // where framed controls may lie, in the window's coordinates
    QRect title;   // the title of a group box; empty for a bare frame
};

FrameParts partsOf(QWidget& frame) {
    const QPoint at = frame.pos();
    if (auto* group = qobject_cast<QGroupBox*>(&frame)) {
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
    return {static_cast<QFrame&>(frame).contentsRect().translated(at), {}};
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
    return {};
}

// Everything wrong with the look of `window`, one line each.
std::vector<std::string> faultsOf(QWidget& window) {
    window.ensurePolished();
    std::vector<std::string> faults;
    auto fault = [&faults](const QString& text) { faults.push_back(text.toStdString()); };
    const std::vector<QWidget*> controls = controlsOf(window);
    const QRect windowRoom =
        window.rect().adjusted(kWindowMargin, kWindowMargin, -kWindowMargin, -kWindowMargin);

    for (QWidget* control : controls) {
        const QSize needed = neededSize(*control);
        if (needed.isEmpty()) continue;
        const QSize room = qobject_cast<QLabel*>(control)
                               ? static_cast<QLabel*>(control)->contentsRect().size()
                               : control->size();
        if (needed.width() > room.width() || needed.height() > room.height()) {
            fault(QStringLiteral("%1 needs %2 x %3 px, has %4 x %5")
                      .arg(describe(*control))
                      .arg(needed.width())
                      .arg(needed.height())
                      .arg(room.width())
                      .arg(room.height()));
        }
        if (!windowRoom.contains(control->geometry())) {
            fault(QStringLiteral("%1 reaches the edge of the window").arg(describe(*control)));
        }
    }

    for (QWidget* frame : controls) {
        auto* group = qobject_cast<QGroupBox*>(frame);
        if (!group) continue;
        const FrameParts parts = partsOf(*group);
        const int titleWidth = QFontMetrics(group->font()).horizontalAdvance(group->title());
        if (parts.title.width() < titleWidth || !group->geometry().contains(parts.title)) {
            fault(QStringLiteral("%1: its title does not fit its frame").arg(describe(*group)));
        }
    }

    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* a = controls[i];
            QWidget* b = controls[j];
            if (!a->geometry().intersects(b->geometry())) continue;
            if (isFrame(*b) && !isFrame(*a)) std::swap(a, b);
            if (isFrame(*a) && !isFrame(*b)) {
                const FrameParts parts = partsOf(*a);
                if (parts.inside.contains(b->geometry()) &&
                    !parts.title.intersects(b->geometry())) {
                    continue;
                }
                fault(QStringLiteral("%1 is not inside %2, or crosses its frame or title")
                          .arg(describe(*b), describe(*a)));
                continue;
            }
            fault(QStringLiteral("%1 overlaps %2").arg(describe(*a), describe(*b)));
        }
    }
    return faults;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

void setStatus(QWidget& window, int id, std::string_view text) {
    auto* label = qobject_cast<QLabel*>(QtFrontend::findControl(window, id));
    ASSERT_NE(label, nullptr) << id;
    label->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

struct WindowCase {
    const char* name;
    // Makes the window as the user sees it, with each text it shows in turn.
    std::function<std::unique_ptr<QWidget>(Settings&, RouterSession&)> make;
    // The texts its status shows in turn, each checked on its own.
    int statusId = 0;
    std::vector<std::string> statusTexts = {};
};

void PrintTo(const WindowCase& window, std::ostream* out) { *out << window.name; }

class WindowFitTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowFitTest, EveryTextFitsAndNoControlCrossesAnother) {
    const WorkingFolder folder;
    Settings settings;
    RouterSession session(settings);
    std::unique_ptr<QWidget> window = GetParam().make(settings, session);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window can be resized";
    EXPECT_EQ(window->font(), DialogFont()) << "the window has another font";

    const std::vector<std::string> texts =
        GetParam().statusTexts.empty() ? std::vector<std::string>{""} : GetParam().statusTexts;
    for (const std::string& text : texts) {
        if (GetParam().statusId != 0) setStatus(*window, GetParam().statusId, text);
        const std::vector<std::string> faults = faultsOf(*window);
        EXPECT_TRUE(faults.empty()) << GetParam().name << joined(faults);
    }
}

template <typename Dialog>
std::unique_ptr<QWidget> make(Settings&, RouterSession& session) {
    return std::make_unique<Dialog>(session);
}

std::unique_ptr<QWidget> makeMainWindow(Settings& settings, RouterSession&) {
    return std::make_unique<CMainDlg>(settings);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowFitTest,
    ::testing::Values(
        WindowCase{"MainWindow", makeMainWindow},
        WindowCase{"About",
                   [](Settings&, RouterSession&) { return std::make_unique<CAboutDlg>(); }},
        WindowCase{"Connection",
                   make<CConnectDlg>,
                   1007,
                   {WithPressNote(kConnectedText, true), WithPressNote(kRouterSilentText, false),
                    WithPressNote(kWrongPasswordText, false)}},
        WindowCase{"Password",
                   [](Settings&, RouterSession&) { return std::make_unique<CPasswordDlg>(); }},
        WindowCase{"SinglePc",
                   make<CSinglePcDlg>,
                   1016,
                   {std::string(kSinglePcPromptText), WithPressNote(kSinglePcFailedText, false)}},
        WindowCase{"MultiPc", make<CMultiPcDlg>, 1012, {std::string(kMultiPcPromptText)}},
        WindowCase{"Ports", make<CPortsDlg>}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

// Message boxes size themselves; the longest texts still must not be cut.
TEST(MessageBoxFitTest, LongestTextsFit) {
    const WorkingFolder folder;
    QWidget owner;
    owner.setFont(DialogFont());
    QtFrontend view(owner);
    const std::string longest = [] {
        std::string text(kShippedNewerText);
        for (const char* version : {"A1B2C3", "A1B2C4"}) text.replace(text.find("%s"), 2, version);
        return text;
    }();
    struct Box {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageSeverity severity;
    };
    for (const Box& box : {Box{longest, std::string(kUpdateCaption), MessageButtons::OkCancel,
                               MessageSeverity::Notice},
                           Box{"No pudo abrirse el puerto de comunicaciones COM4:", "Error",
                               MessageButtons::Ok, MessageSeverity::Failure}}) {
        std::vector<std::string> faults;
        bool seen = false;
        const auto answer = whenModal([&](QWidget* modal) {
            auto* shown = qobject_cast<QMessageBox*>(modal);
            if (!shown) return false;
            seen = true;
            faults = faultsOf(*shown);
            shown->reject();
            return true;
        });
        view.showMessage(box.text, box.caption, box.buttons, box.severity);
        EXPECT_TRUE(seen);
        EXPECT_TRUE(faults.empty()) << box.caption << joined(faults);
    }
}

}  // namespace
}  // namespace cofralin
