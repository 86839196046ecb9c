#include "ip_address_edit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <optional>

namespace cofralin {

namespace {

constexpr int kFieldCount = 4;
constexpr int kLastField = kFieldCount - 1;
constexpr int kFieldDigits = 3;
constexpr int kFieldMaximum = 255;

// A field's text from a part of a dotted address: its leading digits, at most 255.
QString fieldTextOf(const QString& part) {
    int value = 0;
    int digits = 0;
    for (const QChar c : part.trimmed()) {
        if (c < u'0' || c > u'9') break;
        value = std::min(value * 10 + (c.unicode() - u'0'), kFieldMaximum + 1);
        ++digits;
    }
    return digits == 0 ? QString() : QString::number(std::min(value, kFieldMaximum));
}

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The digits a field may hold: one to three of them, worth at most 255, and
// no leading zero before further digits.
bool isFieldValue(const QString& digits) {
    if (digits.isEmpty() || digits.size() > kFieldDigits) return false;
    if (!std::all_of(digits.begin(), digits.end(), isAsciiDigit)) return false;
    if (digits.size() > 1 && digits.front() == u'0') return false;
    return digits.toInt() <= kFieldMaximum;
}

// The four fields of a pasted dotted address, or nothing.
std::optional<QStringList> addressFields(const QString& text) {
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != kFieldCount) return std::nullopt;
    QStringList fields;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > kFieldDigits ||
            !std::all_of(part.begin(), part.end(), isAsciiDigit) || part.toInt() > kFieldMaximum) {
            return std::nullopt;
        }
        fields << QString::number(part.toInt());
    }
    return fields;
}

bool allSelected(const QLineEdit& edit) {
    return edit.hasSelectedText() && edit.selectedText().size() == edit.text().size();
}

constexpr const char* kRefusedProperty = "cofralinRefused";

void clearRefusedMark(QWidget& field) {
    field.setProperty(kRefusedProperty, false);
    field.setStyleSheet(QString());
}

}  // namespace

// One number field. It hands digits, separators, pastes and the moves
// between fields to its control, and counts the digits typed since it was
// entered, which decides when it moves on by itself.
class AddressField final : public QLineEdit {
public:
    AddressField(IpAddressEdit& owner, int index)
        : QLineEdit(&owner), owner_(owner), index_(index) {}

    int typedDigits = 0;

    // Room for "255" in the font in use, beside the line edit's own margins.
    QSize sizeHint() const override {
        constexpr int kEditMargins = 2 * 2 + 1;  // the edit's margins and the caret
        return {fontMetrics().horizontalAdvance(QStringLiteral("255")) + kEditMargins,
                QLineEdit::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        typedDigits = 0;
        switch (event->reason()) {
            case Qt::MouseFocusReason:
                // The press that gave the focus selects instead of placing the caret.
                selectOnPress_ = true;
                selectAll();
                break;
            case Qt::TabFocusReason:
            case Qt::BacktabFocusReason:
            case Qt::ShortcutFocusReason:
            case Qt::OtherFocusReason:
                selectAll();
                break;
            default:
                break;  // back from another window: as it was
        }
    }

    void focusOutEvent(QFocusEvent* event) override {
        selectOnPress_ = false;
        QLineEdit::focusOutEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (selectOnPress_ && event->button() == Qt::LeftButton) {
            selectOnPress_ = false;
            pressSwallowed_ = true;
            selectAll();
            event->accept();
            return;
        }
        selectOnPress_ = false;
        QLineEdit::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (pressSwallowed_) return;
        QLineEdit::mouseMoveEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (pressSwallowed_) {
            pressSwallowed_ = false;
            return;
        }
        QLineEdit::mouseReleaseEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste)) {
            owner_.pasteInto(index_, QApplication::clipboard()->text());
            return;
        }
        const QString typed = event->text();
        if (typed == QStringLiteral(".") || typed == QStringLiteral(" ")) {
            owner_.separatorTyped(index_);
            return;
        }
        if (typed.size() == 1 && isAsciiDigit(typed.front())) {
            if (!owner_.digitTyped(index_, typed.front())) return;
            QLineEdit::keyPressEvent(event);
            // Only a field filled by typing moves on, never one typed into.
            if (index_ < kLastField && typedDigits >= kFieldDigits &&
                text().size() == kFieldDigits) {
                owner_.enterField(index_ + 1);
            }
            return;
        }
        switch (event->key()) {
            case Qt::Key_Backspace:
                if (index_ > 0 && cursorPosition() == 0 && !hasSelectedText()) {
                    moveBackToEnd();
                    return;
                }
                break;
            case Qt::Key_Left:
                if (index_ > 0 && cursorPosition() == 0 && !hasSelectedText() &&
                    event->modifiers() == Qt::NoModifier) {
                    moveBackToEnd();
                    return;
                }
                break;
            case Qt::Key_Right:
                if (index_ < kLastField && cursorPosition() == text().size() &&
                    !hasSelectedText() && event->modifiers() == Qt::NoModifier) {
                    QLineEdit* next = owner_.field(index_ + 1);
                    next->setFocus(Qt::OtherFocusReason);
                    next->deselect();
                    next->setCursorPosition(0);
                    return;
                }
                break;
            default:
                break;
        }
        QLineEdit::keyPressEvent(event);
    }

    // Tab and Shift+Tab leave the control: only the first field takes the
    // focus from the keyboard, and Shift+Tab starts from there.
    bool focusNextPrevChild(bool next) override {
        if (!next && index_ > 0) owner_.field(0)->setFocus(Qt::BacktabFocusReason);
        return QLineEdit::focusNextPrevChild(next);
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        const std::unique_ptr<QMenu> menu(createStandardContextMenu());
        // The menu's paste fills the fields as the keyboard's does.
        for (QAction* action : menu->actions()) {
            if (action->objectName() != QStringLiteral("edit-paste")) continue;
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            QObject::connect(action, &QAction::triggered, this, [this] {
                owner_.pasteInto(index_, QApplication::clipboard()->text());
            });
        }
        menu->exec(event->globalPos());
    }

private:
    void moveBackToEnd() {
        QLineEdit* before = owner_.field(index_ - 1);
        before->setFocus(Qt::OtherFocusReason);
        before->deselect();
        before->end(false);
    }

    IpAddressEdit& owner_;
    const int index_;
    bool selectOnPress_ = false;
    bool pressSwallowed_ = false;
};

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    // Whatever reaches a field by other ways than the keys above: up to three
    // digits worth at most 255, or nothing.
    static const QRegularExpression fieldPattern(
        QStringLiteral("[01]?[0-9]{0,2}|2[0-4][0-9]|25[0-5]"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    for (int i = 0; i < kFieldCount; ++i) {
        auto* edit = new AddressField(*this, i);
        edit->setObjectName(QStringLiteral("field%1").arg(i));
        edit->setFrame(false);
        edit->setMaxLength(kFieldDigits);
        edit->setAlignment(Qt::AlignCenter);
        edit->setAcceptDrops(false);
        edit->setValidator(new QRegularExpressionValidator(fieldPattern, edit));
        // Only the first field is a tab stop, so Tab passes the control as one.
        if (i > 0) edit->setFocusPolicy(Qt::ClickFocus);
        connect(edit, &QLineEdit::textEdited, this, &IpAddressEdit::fieldChanged);
        fields_[static_cast<std::size_t>(i)] = edit;
        layout->addWidget(edit, 1);
        if (i < kLastField) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
    }
    setFocusProxy(fields_[0]);
}

QString IpAddressEdit::text() const {
    QStringList parts;
    for (const QLineEdit* edit : fields_) parts << QString::number(edit->text().toInt());
    return parts.join(u'.');
}

void IpAddressEdit::setText(const QString& dotted) {
    const QStringList parts = dotted.split(u'.');
    for (int i = 0; i < kFieldCount; ++i) {
        const QString part = i < parts.size() ? parts[i] : QString();
        fields_[static_cast<std::size_t>(i)]->setText(fieldTextOf(part));
    }
}

void IpAddressEdit::clear() {
    for (QLineEdit* edit : fields_) edit->clear();
}

bool IpAddressEdit::isBlank() const {
    for (const QLineEdit* edit : fields_) {
        if (!edit->text().isEmpty()) return false;
    }
    return true;
}

void IpAddressEdit::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    int nearest = 0;
    for (int i = 1; i < kFieldCount; ++i) {
        const auto distance = [x](const QLineEdit* edit) {
            return std::abs(edit->geometry().center().x() - x);
        };
        if (distance(field(i)) < distance(field(nearest))) nearest = i;
    }
    enterField(nearest);
    event->accept();
}

void IpAddressEdit::enterField(int index) { field(index)->setFocus(Qt::OtherFocusReason); }

void IpAddressEdit::separatorTyped(int index) {
    const QLineEdit* edit = field(index);
    if (index < kLastField && !edit->text().isEmpty() && !allSelected(*edit)) {
        enterField(index + 1);
    }
}

bool IpAddressEdit::digitTyped(int index, QChar digit) {
    auto* edit = static_cast<AddressField*>(field(index));
    const QString before = edit->text();
    const bool replacesAll = allSelected(*edit) || before == QStringLiteral("0");
    QString after;
    if (replacesAll) {
        after = digit;
    } else if (edit->hasSelectedText()) {
        after = before;
        after.replace(edit->selectionStart(), edit->selectedText().size(), digit);
    } else {
        after = before;
        after.insert(edit->cursorPosition(), digit);
    }
    if (!isFieldValue(after)) {
        QApplication::beep();
        return false;
    }
    // The lone "0" goes whatever the caret's place.
    if (replacesAll) edit->selectAll();
    edit->typedDigits = replacesAll ? 1 : edit->typedDigits + 1;
    return true;
}

void IpAddressEdit::pasteInto(int index, const QString& text) {
    if (const std::optional<QStringList> address = addressFields(text)) {
        for (int i = 0; i < kFieldCount; ++i) field(i)->setText((*address)[i]);
        QLineEdit* last = field(kLastField);
        last->setFocus(Qt::OtherFocusReason);
        last->deselect();
        last->end(false);
        emit fieldChanged();
        return;
    }
    // A number goes into the field as if typed there at once.
    QLineEdit* edit = field(index);
    QString after = edit->text();
    const QString digits = text.trimmed();
    if (edit->hasSelectedText()) {
        after.replace(edit->selectionStart(), edit->selectedText().size(), digits);
    } else {
        after.insert(edit->cursorPosition(), digits);
    }
    if (!isFieldValue(after)) {
        QApplication::beep();
        return;
    }
    edit->insert(digits);
}

void MarkRefusedField(QWidget& field) {
    if (field.objectName().isEmpty()) field.setObjectName(QStringLiteral("refusedField"));
    field.setProperty(kRefusedProperty, true);
    field.setStyleSheet(
        QStringLiteral("#%1 { border: 2px solid #c00000; }").arg(field.objectName()));
    if (auto* address = qobject_cast<IpAddressEdit*>(&field)) {
        QObject::connect(
            address, &IpAddressEdit::fieldChanged, address,
            [address] { clearRefusedMark(*address); }, Qt::SingleShotConnection);
        address->field(0)->setFocus(Qt::OtherFocusReason);
        address->field(0)->selectAll();
    } else if (auto* edit = qobject_cast<QLineEdit*>(&field)) {
        QObject::connect(
            edit, &QLineEdit::textEdited, edit, [edit] { clearRefusedMark(*edit); },
            Qt::SingleShotConnection);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    } else {
        field.setFocus(Qt::OtherFocusReason);
    }
}

bool IsMarkedRefused(const QWidget& field) { return field.property(kRefusedProperty).toBool(); }

}  // namespace cofralin
