#pragma once
// The look every window of the program shares: the dialog font, a size that
// cannot change, and group boxes drawn with their title on the frame line, so
// that controls placed just under a title stay clear of the line.

class QDialog;
class QFont;
class QStyle;

namespace cofralin {

// The dialogs' font: a sans at 8 points, semi-condensed where the family has
// such a face, whose letters are as wide as the dialog units assume
// (1 horizontal unit = 1.5 px). Applied after setupUi, children inherit it.
QFont DialogFont();

// Applies the look to `dialog` after setupUi: the dialog font on the window
// and its children, the framed style on its group boxes and a fixed size.
void UseDialogLook(QDialog& dialog);

// The style of the group boxes: the etched frame's top line runs through the
// middle of the title, and the framed area is everything inside the line.
QStyle& GroupFrameStyle();

}  // namespace cofralin
