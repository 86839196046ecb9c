#pragma once
// What every dialog that runs router procedures shares: its form, the session
// it works on and the front end its procedures tell, built in one way: a
// fixed-size dialog with a title (and `extraFlags`), the form set up, the
// dialog look applied, the front end bound to the status label and the
// progress bar named by their identifiers (0: none).

#include <QDialog>
#include <memory>

#include "dialog_look.h"
#include "qt_frontend.h"
#include "router_session.h"

namespace cofralin {

template <typename Form>
class RouterDialog : public QDialog {
protected:
    RouterDialog(RouterSession& session, QWidget* parent, Qt::WindowFlags extraFlags, int statusId,
                 int progressId = 0)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::MSWindowsFixedSizeDialogHint | extraFlags),
          session_(session),
          ui_(std::make_unique<Form>()) {
        ui_->setupUi(this);
        UseDialogLook(*this);
        frontend_ = std::make_unique<QtFrontend>(*this, statusId, progressId);
    }

    RouterSession& session_;
    std::unique_ptr<Form> ui_;
    std::unique_ptr<QtFrontend> frontend_;
};

}  // namespace cofralin
