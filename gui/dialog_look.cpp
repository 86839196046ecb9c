#include "dialog_look.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QGroupBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace cofralin {

namespace {

// Where the title starts, and the blank kept on each side of it, in pixels.
constexpr int kTitleIndent = 6;
constexpr int kTitleGap = 2;
// The etched line is two pixels wide.
constexpr int kFrameWidth = 2;

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
            case SC_GroupBoxContents:
                return frame.adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
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
        // Etched: a dark line with a light one inside it.
        qDrawShadeRect(painter, subControlRect(CC_GroupBox, group, SC_GroupBoxFrame, widget),
                       group->palette, true, 1, 0);
        painter->restore();
        if (!title.isEmpty()) {
            drawItemText(painter, title.adjusted(kTitleGap, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextHideMnemonic, group->palette,
                         group->state.testFlag(State_Enabled), group->text, QPalette::WindowText);
        }
    }
};

}  // namespace

QStyle& GroupFrameStyle() {
    // Made once, over the application's own style, and gone with the application.
    static QPointer<QStyle> style;
    if (!style) {
        style = new GroupFrame(QApplication::style()->name());
        style->setParent(qApp);
    }
    return *style;
}

QFont DialogFont() {
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

void UseDialogLook(QDialog& dialog) {
    dialog.setFont(DialogFont());
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) group->setStyle(&GroupFrameStyle());
    dialog.setFixedSize(dialog.size());
}

}  // namespace cofralin
