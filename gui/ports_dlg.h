#pragma once
// "Gestionar Puertos": the static UDP and TCP port mappings of the router.
//
// The opening reads both tables from the router; a radio button chooses which
// list is shown and makes the input fields usable. Putting the focus into a
// port field starts a new entry ("Añadir Nuevo" usable, selections cleared);
// selecting a listed entry makes "Eliminar Existente" usable. Adds and deletes
// run the procedures of port_mappings.h and leave the dialog open; "Salir",
// Escape and the close box end it without sending anything.

#include <QPushButton>
#include <memory>
#include <optional>
#include <string>

#include "port_mappings.h"
#include "router_dialog.h"
#include "value_checks.h"

class QLineEdit;
class QListWidget;
class QRadioButton;

namespace Ui {
class CPortsDlg;
}

namespace cofralin {

class IpAddressEdit;

// A push button whose caption wraps at its blanks, as the two action buttons
// of the dialog are too narrow for one line.
class WrappingPushButton : public QPushButton {
    Q_OBJECT

public:
    explicit WrappingPushButton(QWidget* parent = nullptr);

    // As wide as its longest word, as tall as its lines.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CPortsDlg final : public RouterDialog<Ui::CPortsDlg>, private MappingEvents {
    Q_OBJECT

public:
    explicit CPortsDlg(RouterSession& session, QWidget* parent = nullptr);
    ~CPortsDlg() override;

    // The opening: resets the typed texts and the address field, then reads
    // both tables from the router.
    void initialise();
    // Runs the opening, then the dialog modally.
    int exec() override;
    // "Añadir Nuevo": adds the typed mapping; the dialog stays open.
    void accept() override;

    const PortMappingTexts& mappingTexts() const { return texts_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // MappingEvents: the lists follow the tables the procedures read.
    void mappingsCleared() override;
    void mappingsListed(const MappingTables& tables) override;

    void onTrafficTypeClicked(QListWidget* shown, QListWidget* hidden);
    void startNewEntry();
    void onDeleteClicked();
    // The traffic type whose radio button is checked; TCP wins over UDP.
    TrafficType checkedTrafficType() const;
    QWidget& fieldOf(ValueField field) const;

    QListWidget* udpList_;
    QListWidget* tcpList_;
    QPushButton* deleteButton_;
    QLineEdit* publicPort_;
    QLineEdit* privatePort_;
    IpAddressEdit* privateAddress_;
    QRadioButton* udpRadio_;
    QRadioButton* tcpRadio_;
    PortMappingTexts texts_;
};

}  // namespace cofralin
