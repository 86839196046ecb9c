#include "ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <algorithm>

namespace cofralin {

namespace {

constexpr int kFieldCount = 4;
constexpr int kLastField = kFieldCount - 1;

// A field's text from a part of a dotted address: its leading digits, at most 255.
QString fieldTextOf(const QString& part) {
    int value = 0;
    int digits = 0;
    for (const QChar c : part.trimmed()) {
        if (c < u'0' || c > u'9') break;
        value = std::min(value * 10 + (c.unicode() - u'0'), 256);
        ++digits;
    }
    return digits == 0 ? QString() : QString::number(std::min(value, 255));
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    // Up to three digits worth at most 255, or nothing.
    static const QRegularExpression fieldPattern(
        QStringLiteral("[01]?[0-9]{0,2}|2[0-4][0-9]|25[0-5]"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    for (int i = 0; i < kFieldCount; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("field%1").arg(i));
        edit->setFrame(false);
        edit->setMaxLength(3);
        edit->setAlignment(Qt::AlignCenter);
        edit->setValidator(new QRegularExpressionValidator(fieldPattern, edit));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, i] { onFieldEdited(i); });
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

void IpAddressEdit::onFieldEdited(int index) {
    // A full field hands the typing on to the next one.
    if (index < kLastField && fields_[static_cast<std::size_t>(index)]->text().size() == 3) {
        QLineEdit* next = fields_[static_cast<std::size_t>(index + 1)];
        next->setFocus();
        next->selectAll();
    }
    emit fieldChanged();
}

int IpAddressEdit::indexOf(const QObject* object) const {
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields_[static_cast<std::size_t>(i)] == object) return i;
    }
    return -1;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);

    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
    const auto moveTo = [this](int to, bool atEnd) {
        QLineEdit* target = fields_[static_cast<std::size_t>(to)];
        target->setFocus();
        if (atEnd) {
            target->setCursorPosition(static_cast<int>(target->text().size()));
        } else {
            target->selectAll();
        }
    };
    switch (key->key()) {
        case Qt::Key_Period:
            // A dot ends a field that holds something; elsewhere it is ignored.
            if (index < kLastField && !edit->text().isEmpty() && !edit->hasSelectedText()) {
                moveTo(index + 1, false);
            }
            return true;
        case Qt::Key_Backspace:
            if (index > 0 && edit->cursorPosition() == 0 && !edit->hasSelectedText()) {
                moveTo(index - 1, true);
                return true;
            }
            break;
        case Qt::Key_Left:
            if (index > 0 && edit->cursorPosition() == 0) {
                moveTo(index - 1, true);
                return true;
            }
            break;
        case Qt::Key_Right:
            if (index < kLastField && edit->cursorPosition() == edit->text().size()) {
                moveTo(index + 1, false);
                return true;
            }
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace cofralin
