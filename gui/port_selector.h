#pragma once
// The main window's port selector, combo box 1001: a drop-down list whose
// edit field only shows the chosen name. It says when its list is about to
// drop down, so the window can read the ports again (an adapter plugged in
// after start then appears).

#include <QComboBox>

namespace cofralin {

class PortSelector final : public QComboBox {
    Q_OBJECT

public:
    explicit PortSelector(QWidget* parent = nullptr);

    // Makes the edit field read-only: a typed name would start a connection
    // without an entry of the list being chosen. Called once the field exists.
    void refuseTypedNames();

    void showPopup() override;

signals:
    // Before the list drops down; the list may be refilled meanwhile.
    void aboutToShowPopup();
};

}  // namespace cofralin
