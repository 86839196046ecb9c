// What the windows look like beyond their fit: the font they take from the
// desktop, the order the Tab key walks, and whether the wordmark, the lamps
// and the frames read on light and dark desktops.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "about_dlg.h"
#include "connect_dlg.h"
#include "dialog_look.h"
#include "gui_test_support.h"
#include "main_dlg.h"
#include "multi_pc_dlg.h"
#include "password_dlg.h"
#include "ports_dlg.h"
#include "qt_frontend.h"
#include "single_pc_dlg.h"
#include "vector_picture.h"

namespace cofralin {
namespace {

using testing::WorkingFolder;

constexpr double kLegible = 4.5;

TEST(WindowLook, DesktopFontKeepsTheDesktopsSizeAndTakesEightPointsWhenThereIsNone) {
    struct Case {
        QFont desktop;
        int points;
    };
    QFont unsized(QStringLiteral("Noto Sans"));
    unsized.setResolveMask(QFont::FamiliesResolved);
    for (const Case& c : {Case{QFont(QStringLiteral("Cantarell"), 11), 11},
                          Case{QFont(QStringLiteral("Noto Sans"), 10), 10},
                          Case{QFont(QStringLiteral("DejaVu Sans"), 8), 8},
                          Case{QFont(QStringLiteral("Sans Serif"), 9), 8}, Case{unsized, 8}}) {
        const QFont font = DesktopFont(c.desktop);
        EXPECT_EQ(font.pointSize(), c.points) << c.desktop.toString().toStdString();
        EXPECT_EQ(font.family(), c.desktop.family());
    }
}

QString controlOf(QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (widget->objectName().startsWith(QStringLiteral("idc_"))) return widget->objectName();
    }
    return {};
}

// The controls the Tab key reaches, in its order; the order is a ring, told
// from `first` on.
std::vector<std::string> tabOrderOf(QWidget& window, const std::string& first) {
    std::vector<std::string> order;
    for (QWidget* widget = window.nextInFocusChain(); widget != &window;
         widget = widget->nextInFocusChain()) {
        if (!(widget->focusPolicy() & Qt::TabFocus)) continue;
        const QString control = controlOf(widget);
        if (control.isEmpty() || (!order.empty() && order.back() == control.toStdString()))
            continue;
        order.push_back(control.toStdString());
    }
    const auto start = std::find(order.begin(), order.end(), first);
    if (start != order.end()) std::rotate(order.begin(), start, order.end());
    return order;
}

TEST(WindowLook, TabWalksEachWindowInReadingOrder) {
    const WorkingFolder folder;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QWidget>(Settings&, RouterSession&)> make;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        // Right column top to bottom, then the buttons row by row: "Salir" last.
        {"MainWindow",
         [](Settings& s, RouterSession&) { return std::make_unique<CMainDlg>(s); },
         {"idc_1001", "idc_1002", "idc_1003", "idc_1004", "idc_1006", "idc_1005", "idc_2"}},
        {"About",
         [](Settings&, RouterSession&) { return std::make_unique<CAboutDlg>(); },
         {"idc_1"}},
        {"Connection",
         [](Settings&, RouterSession& s) { return std::make_unique<CConnectDlg>(s); },
         {"idc_1", "idc_2"}},
        {"Password",
         [](Settings&, RouterSession&) { return std::make_unique<CPasswordDlg>(); },
         {"idc_1017", "idc_1", "idc_2"}},
        {"SinglePc",
         [](Settings&, RouterSession& s) { return std::make_unique<CSinglePcDlg>(s); },
         {"idc_1013", "idc_1014", "idc_2", "idc_1"}},
        {"MultiPc",
         [](Settings&, RouterSession& s) { return std::make_unique<CMultiPcDlg>(s); },
         {"idc_1016", "idc_1013", "idc_1014", "idc_1015", "idc_2", "idc_1"}},
        // The type, the lists, the new entry's fields, then the buttons beside them.
        {"Ports",
         [](Settings&, RouterSession& s) { return std::make_unique<CPortsDlg>(s); },
         {"idc_1021", "idc_1022", "idc_1025", "idc_1026", "idc_1018", "idc_1019", "idc_1020",
          "idc_3", "idc_1", "idc_2"}},
    };
    for (const Case& c : cases) {
        Settings settings;
        RouterSession session(settings);
        const std::unique_ptr<QWidget> window = c.make(settings, session);
        EXPECT_EQ(tabOrderOf(*window, c.order.front()), c.order) << c.name;
    }
}

// Return and Escape end the main window from its first control, as they
// did before "Salir" moved to the end of the tab order.
TEST(WindowLook, ReturnAndEscapeEndTheMainWindow) {
    const WorkingFolder folder;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        Settings settings;
        CMainDlg window(settings);
        ASSERT_TRUE(window.initialise());
        window.show();
        QApplication::setActiveWindow(&window);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(controlOf(focus), QStringLiteral("idc_1001"));
        QTest::keyClick(focus, key);
        EXPECT_FALSE(window.isVisible()) << QKeySequence(key).toString().toStdString();
    }
}

QPalette lightPalette() { return QApplication::style()->standardPalette(); }

// A dark desktop as some themes set it, with a white "light" colour for
// disabled controls.
QPalette darkPalette() {
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::WindowText, Qt::white);
        dark.setColor(group, QPalette::Text, Qt::white);
        dark.setColor(group, QPalette::ButtonText, Qt::white);
        dark.setColor(group, QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    }
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x7f, 0x7f, 0x7f));
    dark.setColor(QPalette::Disabled, QPalette::Light, Qt::white);
    return dark;
}

struct NamedPalette {
    const char* name;
    QPalette palette;
};

std::vector<NamedPalette> palettes() {
    return {{"light", lightPalette()}, {"dark", darkPalette()}};
}

// A picture of the main window as drawn over its window colour, large
// enough to sample, and where the picture's drawing lies in it.
QImage drawnLarge(VectorPicture& picture, const QSize& size, QRectF* drawing) {
    picture.setMinimumSize(size);
    picture.resize(size);
    QPixmap canvas(size);
    canvas.fill(picture.palette().color(QPalette::Window));
    picture.render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    *drawing = picture.drawingRect();
    return canvas.toImage();
}

QPoint at(const QRectF& drawing, QSizeF viewBox, double x, double y) {
    return QPointF(drawing.left() + x * drawing.width() / viewBox.width(),
                   drawing.top() + y * drawing.height() / viewBox.height())
        .toPoint();
}

TEST(WindowLook, WordmarkAndLitLampsReadOnLightAndDarkPalettes) {
    const WorkingFolder folder;
    for (const NamedPalette& named : palettes()) {
        Settings settings;
        CMainDlg window(settings);
        window.setPalette(named.palette);
        const QColor background = named.palette.color(QPalette::Window);

        // The wordmark fills the band under the badge (y 103 to 121 of 132).
        auto* logo = window.findChild<VectorPicture*>(QStringLiteral("logoPicture"));
        ASSERT_NE(logo, nullptr);
        QRectF drawing;
        const QImage image = drawnLarge(*logo, QSize(536, 528), &drawing);
        const QSizeF logoBox(134, 132);
        const QRect band(at(drawing, logoBox, 20, 103), at(drawing, logoBox, 114, 121));
        int legible = 0;
        for (int y = band.top(); y <= band.bottom(); ++y) {
            for (int x = band.left(); x <= band.right(); ++x) {
                if (ContrastRatio(image.pixelColor(x, y), background) >= kLegible) ++legible;
            }
        }
        // Whole strokes of the letters, not a few stray pixels.
        EXPECT_GT(legible, band.width() * band.height() / 10)
            << named.name << ": the wordmark does not read on " << background.name().toStdString();
        EXPECT_GE(ContrastRatio(logo->ink(), background), kLegible) << named.name;

        // Each lamp picture: its lit lamp against the strip it sits on.
        const struct {
            int id;
            int lit;
        } lamps[] = {{1011, 0}, {1010, 1}, {1008, 2}};
        for (const auto& lamp : lamps) {
            auto* picture = qobject_cast<VectorPicture*>(QtFrontend::findControl(window, lamp.id));
            ASSERT_NE(picture, nullptr) << lamp.id;
            const QImage lampImage = drawnLarge(*picture, QSize(400, 160), &drawing);
            const QSizeF lampBox(40, 16);
            // The lamp's centre, clear of its highlight; the strip below the lamps.
            const QColor lit = lampImage.pixelColor(at(drawing, lampBox, 9.5 + 12 * lamp.lit, 9.5));
            const QColor strip = lampImage.pixelColor(at(drawing, lampBox, 14, 14));
            EXPECT_GE(ContrastRatio(lit, strip), kLegible)
                << named.name << " lamp " << lamp.id << ": " << lit.name().toStdString() << " on "
                << strip.name().toStdString();
        }
    }
}

TEST(WindowLook, DisabledFramesKeepThePalettesColours) {
    const WorkingFolder folder;
    for (const NamedPalette& named : palettes()) {
        Settings settings;
        RouterSession session(settings);
        CPortsDlg window(session);
        window.setPalette(named.palette);
        window.layout()->activate();
        // "Puertos Disponibles" is disabled until a type is chosen.
        auto* group = qobject_cast<QGroupBox*>(QtFrontend::findControl(window, 1027));
        ASSERT_NE(group, nullptr);
        ASSERT_FALSE(group->isEnabled());
        const QImage image = group->grab().toImage();
        const QColor background = named.palette.color(QPalette::Active, QPalette::Window);
        const QColor text = named.palette.color(QPalette::Active, QPalette::WindowText);
        // The etched line down the left side, halfway down: two pixels.
        const int y = image.height() / 2;
        for (int x = 0; x < 2; ++x) {
            const QColor line = image.pixelColor(x, y);
            EXPECT_GT(ContrastRatio(line, background), 1.05)
                << named.name << ": the frame cannot be seen at x " << x;
            EXPECT_LT(ContrastRatio(line, background), ContrastRatio(text, background) / 2)
                << named.name << ": the frame glares (" << line.name().toStdString() << " on "
                << background.name().toStdString() << ") at x " << x;
        }
    }
}

}  // namespace
}  // namespace cofralin
