#include "port_selector.h"

#include <QLineEdit>

namespace cofralin {

PortSelector::PortSelector(QWidget* parent) : QComboBox(parent) {}

void PortSelector::refuseTypedNames() {
    if (QLineEdit* field = lineEdit()) field->setReadOnly(true);
}

void PortSelector::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

}  // namespace cofralin
