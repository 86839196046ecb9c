#pragma once
// "Gestionar Puertos": the static UDP and TCP port mappings of the router.
//
// The opening reads both tables from the router; a radio button chooses which
// list is shown and makes the input fields usable. Putting the focus into a
// port field starts a new entry ("Añadir Nuevo" usable, selections cleared);
// selecting a listed entry makes "Eliminar Existente" usable. Adds and deletes
// run the procedures of port_mappings.h and leave the dialog open; "Salir",
// Escape and the close box end it without sending anything.

#include <QDialog>
#include <QPushButton>
#include <memory>
#include <optional>
#include <string>

#include "exchange.h"
#include "port_mappings.h"
#include "session_state.h"

class QListWidget;

namespace Ui {
class CPortsDlg;
}

namespace cofralin {

class QtRouterView;

// A push button whose caption wraps at its blanks, as the two action buttons
// of the dialog are too narrow for one line.
class WrappingPushButton : public QPushButton {
    Q_OBJECT

public:
    explicit WrappingPushButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CPortsDlg final : public QDialog, private PortLists {
    Q_OBJECT

public:
    explicit CPortsDlg(SessionState& state, QWidget* parent = nullptr);
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
    // PortLists.
    void clearList(int id) override;
    void addListEntry(int id, const std::string& entry) override;
    std::optional<std::string> selectedListEntry(int id) override;
    bool radioChecked(int id) override;

    void onTrafficTypeClicked(QListWidget* shown, QListWidget* hidden);
    void startNewEntry();
    void onDeleteClicked();
    QListWidget* list(int id) const;

    std::unique_ptr<Ui::CPortsDlg> ui_;
    std::unique_ptr<QtRouterView> view_;
    std::unique_ptr<Exchange> exchange_;
    PortMappingTexts texts_;
};

}  // namespace cofralin
