#pragma once
// An IP-address field as users of the Windows control know it: four number
// fields of 0 to 255 between dots, in one sunken frame, walked by the
// keyboard as one control.
//
// - Clicking or tabbing into a field selects its digits, so typing replaces them.
// - "." or a blank moves to the next field and selects it. In a field whose
//   digits are all selected (just entered) or that is empty it is the dot
//   that ended the field before, and does nothing.
// - A digit typed into a field that holds a lone "0" replaces it. A field
//   moves on by itself when the user has typed three digits into it and it
//   then holds three digits; digits inserted into a value already there never
//   move on.
// - A digit that would make a field worth more than 255, or longer than three
//   digits, is refused: the field keeps its value.
// - Backspace in an empty field (or at its start) goes back to the field
//   before; Left and Right at a field's edge move to the next one.
// - Pasting a dotted address fills all four fields; a paste that is no
//   address and no number of the field is refused.
// - Tab and Shift+Tab leave the control; they never walk its fields.
//
// fieldChanged() is emitted on every change the user makes; setText() emits nothing.

#include <QFrame>
#include <QString>
#include <array>

class QLineEdit;

namespace cofralin {

class IpAddressEdit : public QFrame {
    Q_OBJECT
    // Lets views reach the address by the generic "text" property.
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The whole address "a.b.c.d"; a blank field reads as 0.
    QString text() const;
    // Fills the fields from a dotted text; missing or blank parts leave a field
    // blank, and each field takes the leading digits of its part, at most 255.
    void setText(const QString& dotted);
    // Blanks all four fields.
    void clear();
    // Whether every field is blank.
    bool isBlank() const;

    // The number field `index` (0 to 3), for tests and focus handling.
    QLineEdit* field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

signals:
    void fieldChanged();

protected:
    // A click on the frame or a dot goes to the nearest field.
    void mousePressEvent(QMouseEvent* event) override;

private:
    friend class AddressField;

    // What the fields hand over to the control.
    void enterField(int index);
    void separatorTyped(int index);
    // False when the digit is refused.
    bool digitTyped(int index, QChar digit);
    void pasteInto(int index, const QString& text);

    std::array<QLineEdit*, 4> fields_{};
};

// Marks a field whose value a dialog refused: a red frame until the user
// next changes it, the keyboard focus, and its text selected. For an address
// field the first number is entered.
void MarkRefusedField(QWidget& field);
// Whether MarkRefusedField marked `field` and the user has not changed it since.
bool IsMarkedRefused(const QWidget& field);

}  // namespace cofralin
