#pragma once
// The look every window of the program shares.
//
// - The font is the desktop's, the one the message boxes use too; a desktop
//   that sets none gets 8 points (UseDesktopFont).
// - Sizes follow that font. The .ui files lay the controls out with Qt
//   layouts, in the arrangement of the window templates; where a template
//   gives a control a size, the control carries it in dialog units (the
//   dynamic property "dialogUnits", a QSize, 0 for "no minimum"), and a
//   status box the number of lines it must show ("textLines"). Dialog units
//   are measured on the font in use, so a larger font or another family
//   makes the whole window larger in proportion, and a text that needs more
//   room than its units give still gets it from the layout.
// - Group boxes have their title on the frame line, with the framed area
//   below the title; etched frames take their colours from the palette of
//   their state, so a disabled frame on a dark desktop stays dark.
// - The window cannot be resized. On Wayland, where the toolkit would draw a
//   title bar that cuts a long title and offers Maximize, the window draws
//   its own: the whole title, and a close box where the window has one.

class QColor;
class QDialog;
class QFont;
class QStyle;
class QString;

namespace cofralin {

// Dialog units of a font: across, a quarter of the average width of its
// letters; down, an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    // Pixels of `units` dialog units.
    int across(double units) const;
    int down(double units) const;

private:
    double across_ = 0;
    double down_ = 0;
};

// The font the windows use, given the application's font as the desktop set
// it: that font, at 8 points when no desktop gave a size (Qt's fallback).
QFont DesktopFont(const QFont& applicationFont);

// Makes DesktopFont the application's font, so that the windows and the
// message boxes share it. Harmless when called again.
void UseDesktopFont();

// Applies the look to `dialog` after setupUi. The dialog's top-level layout
// must be a QVBoxLayout.
void UseDialogLook(QDialog& dialog);

// The style of the group boxes and etched frames.
QStyle& GroupFrameStyle();

// The contrast ratio of two colours, 1 to 21, as the accessibility
// guidelines measure it.
double ContrastRatio(const QColor& first, const QColor& second);

// The colour for a mark drawn straight on `background` (the wordmark): the
// brand blue where it reads with a contrast of at least 4.5, else a light
// blue, else black or white, whichever reads better.
QColor LegibleInk(const QColor& background);

// Whether windows run on a Wayland compositor (and so draw their title bar).
bool OnWayland();

}  // namespace cofralin
