#include "dialog_look.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QStringList>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace cofralin {

namespace {

// Where a group box's title starts, and the blank kept on each side of it, in pixels.
constexpr int kTitleIndent = 6;
constexpr int kTitleGap = 2;
// The etched line is two pixels wide.
constexpr int kFrameWidth = 2;
// A status box keeps its text this far from its sunken edge, in pixels.
constexpr int kTextPadding = 1;

// Margins and gaps, in dialog units: around the window's controls, inside
// a frame or group box, and between neighbours.
constexpr double kWindowMarginAcross = 5;
constexpr double kWindowMarginDown = 4;
constexpr double kFrameMarginAcross = 4;
constexpr double kFrameMarginDown = 2;
constexpr double kGapAcross = 4;
constexpr double kGapDown = 3;

constexpr const char* kUnitsProperty = "dialogUnits";
constexpr const char* kLinesProperty = "textLines";

// The generic theme's font, which Qt uses when it knows no desktop font.
constexpr double kFallbackPointSize = 9;
constexpr int kTemplatePointSize = 8;

QColor mix(const QColor& from, const QColor& to, double share) {
    const auto channel = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(static_cast<float>(channel(from.redF(), to.redF())),
                            static_cast<float>(channel(from.greenF(), to.greenF())),
                            static_cast<float>(channel(from.blueF(), to.blueF())));
}

// The two lines of an etched or sunken edge, from the colours of the
// palette's current group: the shadow between the window and its text, the
// light a little off the window towards white on light palettes and towards
// the text on dark ones.
struct EdgeColours {
    QColor shadow;
    QColor light;
};

EdgeColours edgeColoursOf(const QPalette& palette) {
    // A frame does not grey out with the controls it holds: the colours of
    // the active group, whatever the state.
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    const bool lightWindow = window.lightnessF() > 0.5;
    return {mix(window, text, 0.45),
            lightWindow ? mix(window, Qt::white, 0.8) : mix(window, text, 0.12)};
}

void drawEtched(QPainter& painter, const QRect& rect, const EdgeColours& colours) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(colours.light);
    painter.drawRect(rect.adjusted(1, 1, -1, -1));
    painter.setPen(colours.shadow);
    painter.drawRect(rect.adjusted(0, 0, -2, -2));
    painter.restore();
}

void drawSunken(QPainter& painter, const QRect& rect, int lineWidth, const EdgeColours& colours) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < lineWidth; ++i) {
        const QRect line = rect.adjusted(i, i, -i, -i);
        painter.setPen(colours.shadow);
        painter.drawLine(line.topLeft(), line.topRight());
        painter.drawLine(line.topLeft(), line.bottomLeft());
        painter.setPen(colours.light);
        painter.drawLine(line.bottomLeft(), line.bottomRight());
        painter.drawLine(line.topRight(), line.bottomRight());
    }
    painter.restore();
}

class GroupFrame final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !group) {
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
        const QRect whole = group->rect;
        const int textHeight = group->fontMetrics.height();
        const QRect frame = whole.adjusted(0, textHeight / 2, 0, 0);
        switch (part) {
            case SC_GroupBoxFrame:
                return frame;
            case SC_GroupBoxContents: {
                // Below the title, so that nothing framed touches it.
                const int top = group->text.isEmpty() ? frame.top() + kFrameWidth
                                                      : whole.top() + textHeight + 1;
                return QRect(QPoint(frame.left() + kFrameWidth, top),
                             QPoint(frame.right() - kFrameWidth, frame.bottom() - kFrameWidth));
            }
            case SC_GroupBoxLabel: {
                if (group->text.isEmpty()) return {};
                const int width = group->fontMetrics.horizontalAdvance(group->text) + 2 * kTitleGap;
                return QRect(whole.left() + kTitleIndent, whole.top(),
                             std::min(width, whole.width() - 2 * kTitleIndent), textHeight);
            }
            default:
                return {};
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                           const QWidget* widget) const override {
        if (type != CT_GroupBox)
            return QProxyStyle::sizeFromContents(type, option, contents, widget);
        // `contents` holds the title's width and height: the title and its
        // indents on both sides, over the frame.
        return {contents.width() + 2 * (kTitleIndent + kTitleGap), contents.height() + kFrameWidth};
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !group) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect title = subControlRect(CC_GroupBox, group, SC_GroupBoxLabel, widget);
        painter->save();
        // The line stops on either side of the title.
        QRegion around(group->rect);
        around -= title;
        painter->setClipRegion(around);
        drawEtched(*painter, subControlRect(CC_GroupBox, group, SC_GroupBoxFrame, widget),
                   edgeColoursOf(group->palette));
        painter->restore();
        if (!title.isEmpty()) {
            drawItemText(painter, title.adjusted(kTitleGap, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextHideMnemonic, group->palette,
                         group->state.testFlag(State_Enabled), group->text, QPalette::WindowText);
        }
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (element != CE_ShapedFrame || !frame || !frame->state.testFlag(State_Sunken)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        if (frame->frameShape == QFrame::Box) {
            drawEtched(*painter, frame->rect, edgeColoursOf(frame->palette));
        } else if (frame->frameShape == QFrame::Panel) {
            drawSunken(*painter, frame->rect, frame->lineWidth, edgeColoursOf(frame->palette));
        } else {
            QProxyStyle::drawControl(element, option, painter, widget);
        }
    }
};

bool isContainer(const QWidget& widget) {
    const QMetaObject* type = widget.metaObject();
    return type == &QGroupBox::staticMetaObject || type == &QFrame::staticMetaObject ||
           type == &QWidget::staticMetaObject;
}

void setGaps(QLayout& layout, const DialogUnits& units) {
    if (auto* box = qobject_cast<QBoxLayout*>(&layout)) {
        const bool across = box->direction() == QBoxLayout::LeftToRight ||
                            box->direction() == QBoxLayout::RightToLeft;
        box->setSpacing(across ? units.across(kGapAcross) : units.down(kGapDown));
    } else if (auto* grid = qobject_cast<QGridLayout*>(&layout)) {
        grid->setHorizontalSpacing(units.across(kGapAcross));
        grid->setVerticalSpacing(units.down(kGapDown));
    }
}

// Margins and gaps of a layout and of everything it holds, and the
// containers' own layouts.
void fitLayout(QLayout& layout, const DialogUnits& units, bool nested) {
    setGaps(layout, units);
    if (nested) layout.setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < layout.count(); ++i) {
        QLayoutItem* item = layout.itemAt(i);
        if (QLayout* inner = item->layout()) fitLayout(*inner, units, true);
        QWidget* widget = item->widget();
        if (!widget) continue;
        // The templates fix every place: a control hidden for the moment keeps its room.
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
        if (isContainer(*widget) && widget->layout()) {
            widget->layout()->setContentsMargins(
                units.across(kFrameMarginAcross), units.down(kFrameMarginDown),
                units.across(kFrameMarginAcross), units.down(kFrameMarginDown));
            fitLayout(*widget->layout(), units, false);
        }
    }
}

// Minimum sizes from the controls' dialog units and text lines.
void fitControls(QDialog& dialog, const DialogUnits& units) {
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        const QVariant unitSize = widget->property(kUnitsProperty);
        const QVariant lines = widget->property(kLinesProperty);
        if (!unitSize.isValid() && !lines.isValid()) continue;
        QSize minimum(0, 0);
        if (unitSize.isValid()) {
            const QSize size = unitSize.toSize();
            minimum = {size.width() > 0 ? units.across(size.width()) : 0,
                       size.height() > 0 ? units.down(size.height()) : 0};
        }
        if (lines.isValid()) {
            // A status box: its size stays what it is whatever text it shows,
            // and it holds its lines clear of its edge.
            int edge = kTextPadding;
            if (auto* label = qobject_cast<QLabel*>(widget)) edge += label->margin();
            if (auto* frame = qobject_cast<QFrame*>(widget)) edge += frame->frameWidth();
            // Measured as the label lays its lines out.
            QStringList sample;
            for (int line = 0; line < lines.toInt(); ++line) sample << QStringLiteral("Xg");
            const int height =
                widget->fontMetrics()
                    .boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft, sample.join(u'\n'))
                    .height() +
                2 * edge;
            minimum.setHeight(std::max(minimum.height(), height));
            QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            policy.setRetainSizeWhenHidden(widget->sizePolicy().retainSizeWhenHidden());
            widget->setSizePolicy(policy);
        }
        if (unitSize.isValid() &&
            (qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QProgressBar*>(widget))) {
            // Lists and bars have no size of their own to speak of: their
            // units give their height, and their width follows the column.
            QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
            policy.setRetainSizeWhenHidden(widget->sizePolicy().retainSizeWhenHidden());
            widget->setSizePolicy(policy);
            widget->setMaximumHeight(minimum.height());
        }
        widget->setMinimumSize(minimum);
    }
    // A wrapped text is given the height of its lines at its narrowest, and
    // no height-for-width: Qt's grid does not hold that height for a wrapped
    // text inside a nested layout, and a window of fixed size gains nothing from it.
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->wordWrap() || label->property(kLinesProperty).isValid()) continue;
        QSizePolicy policy = label->sizePolicy();
        policy.setHeightForWidth(false);
        label->setSizePolicy(policy);
        const int width =
            label->minimumWidth() > 0 ? label->minimumWidth() : label->sizeHint().width();
        const int unitHeight = label->property(kUnitsProperty).isValid()
                                   ? units.down(label->property(kUnitsProperty).toSize().height())
                                   : 0;
        label->setMinimumHeight(std::max(unitHeight, label->heightForWidth(width)));
    }
}

// The title bar a window draws for itself on Wayland: the whole title and,
// where the window has a close box, the close box. Dragging it moves the
// window; there is nothing to maximise or minimise.
class TitleBar final : public QWidget {
public:
    explicit TitleBar(QDialog& dialog)
        : QWidget(&dialog),
          dialog_(dialog),
          closable_(!dialog.windowFlags().testFlag(Qt::CustomizeWindowHint) ||
                    dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint)) {
        setObjectName(QStringLiteral("titleBar"));
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
        dialog.installEventFilter(this);
    }

    QFont titleFont() const {
        QFont bold = dialog_.font();
        bold.setBold(true);
        return bold;
    }
    int barHeight() const { return QFontMetrics(titleFont()).height() * 2; }
    // The window's width below which the title would be cut.
    int neededWidth() const {
        const int box = closable_ ? barHeight() : 0;
        return QFontMetrics(titleFont()).horizontalAdvance(dialog_.windowTitle()) + 2 * box +
               2 * margin();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ &&
            (event->type() == QEvent::Resize || event->type() == QEvent::WindowTitleChange)) {
            setGeometry(0, 0, dialog_.width(), barHeight());
            raise();
            update();
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QPalette& colours = palette();
        painter.fillRect(rect(), colours.color(QPalette::Window).darker(108));
        painter.setPen(edgeColoursOf(colours).shadow);
        painter.drawLine(rect().bottomLeft(), rect().bottomRight());
        painter.drawLine(rect().topLeft(), rect().topRight());
        painter.drawLine(rect().topLeft(), rect().bottomLeft());
        painter.drawLine(rect().topRight(), rect().bottomRight());
        painter.setFont(titleFont());
        painter.setPen(colours.color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, dialog_.windowTitle());
        if (closable_) {
            const QRect box = closeBox();
            if (hovered_) {
                painter.fillRect(box, colours.color(QPalette::Highlight));
                painter.setPen(colours.color(QPalette::HighlightedText));
            }
            QPen cross = painter.pen();
            cross.setWidthF(std::max(1.5, box.height() / 10.0));
            painter.setPen(cross);
            painter.setRenderHint(QPainter::Antialiasing);
            const QRectF mark = QRectF(box).adjusted(box.width() * 0.3, box.height() * 0.3,
                                                     -box.width() * 0.3, -box.height() * 0.3);
            painter.drawLine(mark.topLeft(), mark.bottomRight());
            painter.drawLine(mark.bottomLeft(), mark.topRight());
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        if (closable_ && closeBox().contains(event->position().toPoint())) {
            pressedOnClose_ = true;
            return;
        }
        if (QWindow* window = dialog_.windowHandle()) window->startSystemMove();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click = pressedOnClose_ && closeBox().contains(event->position().toPoint());
        pressedOnClose_ = false;
        // The close box does what the window's close box does everywhere else.
        if (click) dialog_.close();
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const bool over = closable_ && closeBox().contains(event->position().toPoint());
        if (over != hovered_) {
            hovered_ = over;
            update();
        }
    }

    void leaveEvent(QEvent*) override {
        hovered_ = false;
        update();
    }

private:
    int margin() const { return QFontMetrics(titleFont()).height() / 2; }
    QRect closeBox() const {
        const int side = height() - 2 * (height() / 6);
        return {width() - side - margin() / 2, (height() - side) / 2, side, side};
    }

    QDialog& dialog_;
    const bool closable_;
    bool hovered_ = false;
    bool pressedOnClose_ = false;
};

// The thin edge around a window that draws its own title bar.
class WindowEdge final : public QWidget {
public:
    explicit WindowEdge(QDialog& dialog) : QWidget(&dialog), dialog_(dialog) {
        setObjectName(QStringLiteral("windowEdge"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ && event->type() == QEvent::Resize) {
            setGeometry(dialog_.rect());
            raise();
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(edgeColoursOf(palette()).shadow);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QDialog& dialog_;
};

// Sizes the window's controls from its font, now and whenever the font
// changes (the desktop's font may change while the program runs).
class DialogSizer final : public QObject {
public:
    explicit DialogSizer(QDialog& dialog) : QObject(&dialog), dialog_(dialog) {
        setObjectName(QStringLiteral("dialogSizer"));
        if (OnWayland()) {
            // The bar reads the close box from the flags first. Qt drops a
            // frameless hint added to customised title flags, so the flags
            // are set anew.
            titleBar_ = new TitleBar(dialog);
            dialog.setWindowFlags(dialog.windowType() | Qt::FramelessWindowHint);
            new WindowEdge(dialog);
        }
        apply();
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ &&
            (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)) {
            apply();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply() {
        auto* layout = qobject_cast<QBoxLayout*>(dialog_.layout());
        if (!layout) return;
        const DialogUnits units(dialog_.font());
        fitControls(dialog_, units);
        layout->setContentsMargins(units.across(kWindowMarginAcross), units.down(kWindowMarginDown),
                                   units.across(kWindowMarginAcross),
                                   units.down(kWindowMarginDown));
        fitLayout(*layout, units, false);
        if (titleBar_) {
            // The bar lies over the top margin of the window's contents, and
            // the window is never narrower than its whole title.
            dialog_.setContentsMargins(1, titleBar_->barHeight(), 1, 1);
            if (titleBar_->neededWidth() > strut_) {
                strut_ = titleBar_->neededWidth();
                layout->addStrut(strut_);
            }
        }
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->invalidate();
    }

    QDialog& dialog_;
    TitleBar* titleBar_ = nullptr;
    int strut_ = 0;
};

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    across_ = metrics.horizontalAdvance(letters) / letters.size() / 4.0;
    down_ = QFontMetrics(font).height() / 8.0;
}

int DialogUnits::across(double units) const {
    return static_cast<int>(std::lround(units * across_));
}

int DialogUnits::down(double units) const { return static_cast<int>(std::lround(units * down_)); }

QFont DesktopFont(const QFont& applicationFont) {
    QFont font = applicationFont;
    // Without a desktop font Qt either leaves the size unset or takes the
    // generic theme's "Sans Serif" at 9 points; neither is the desktop's.
    const bool sizeSet = (font.resolveMask() & QFont::SizeResolved) != 0;
    const bool genericFallback =
        font.family() == QStringLiteral("Sans Serif") && font.pointSizeF() == kFallbackPointSize;
    if (!sizeSet || genericFallback) font.setPointSize(kTemplatePointSize);
    return font;
}

void UseDesktopFont() {
    const QFont font = DesktopFont(QApplication::font());
    if (font != QApplication::font()) QApplication::setFont(font);
}

QStyle& GroupFrameStyle() {
    // Made once, over the application's own style, and gone with the application.
    static QPointer<QStyle> style;
    if (!style) {
        style = new GroupFrame(QApplication::style()->name());
        style->setParent(qApp);
    }
    return *style;
}

void UseDialogLook(QDialog& dialog) {
    UseDesktopFont();
    // Before the event loop runs, a new application font reaches no window
    // made earlier; an empty font makes this one take the application's again.
    dialog.setFont(QFont());
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        auto* frame = qobject_cast<QFrame*>(widget);
        const bool drawnFrame =
            frame && (frame->frameShape() == QFrame::Box || frame->frameShape() == QFrame::Panel);
        if (qobject_cast<QGroupBox*>(widget) || drawnFrame) widget->setStyle(&GroupFrameStyle());
    }
    new DialogSizer(dialog);
}

double ContrastRatio(const QColor& first, const QColor& second) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double c) {
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor LegibleInk(const QColor& background) {
    constexpr double kLegible = 4.5;
    for (const QColor ink : {QColor(0x1d, 0x4f, 0x91), QColor(0x9c, 0xc4, 0xf5)}) {
        if (ContrastRatio(ink, background) >= kLegible) return ink;
    }
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background)
               ? QColor(Qt::black)
               : QColor(Qt::white);
}

bool OnWayland() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

}  // namespace cofralin
