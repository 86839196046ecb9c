#pragma once
// An IP-address field: four number fields of 0 to 255 between dots, in one
// sunken frame. Typing a dot or a third digit moves to the next field, and a
// backspace in an empty field goes back to the one before. fieldChanged() is
// emitted whenever the user changes a field; setText() emits nothing.

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onFieldEdited(int index);
    int indexOf(const QObject* object) const;

    std::array<QLineEdit*, 4> fields_{};
};

}  // namespace cofralin
