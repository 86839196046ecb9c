#pragma once
// A status text in a sunken box whose size never follows its text: the
// window keeps its size while replies of any length pass through it. Its
// size is the one its dialog units and text lines give (dialog_look.h).

#include <QLabel>

namespace cofralin {

class StatusBox : public QLabel {
public:
    using QLabel::QLabel;

    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSizeHint() const override { return minimumSize(); }
};

}  // namespace cofralin
