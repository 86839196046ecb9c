#pragma once
// A picture drawn from an SVG resource each time it is painted, at the
// widget's size and the screen's resolution, so it is sharp at every scale.
// It keeps its drawing's proportions, centred in its contents (inside its
// frame, when it has one). Its size comes from the layout and the dialog
// units it carries (dialog_look.h); with none, its drawing's own size.
//
// Marks drawn in "currentColor" take LegibleInk of the window's colour, so
// the wordmark reads on light and dark palettes alike.

#include <QByteArray>
#include <QColor>
#include <QFrame>
#include <QString>
#include <memory>

class QSvgRenderer;

namespace cofralin {

class VectorPicture : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource)

public:
    explicit VectorPicture(QWidget* parent = nullptr);
    ~VectorPicture() override;

    QString source() const { return source_; }
    // The SVG file or resource path (":/images/...").
    void setSource(const QString& source);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The colour of the picture's "currentColor" marks now.
    QColor ink() const { return ink_; }
    // Where the drawing lies in the widget.
    QRectF drawingRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void load();

    QString source_;
    QByteArray drawing_;
    QColor ink_;
    std::unique_ptr<QSvgRenderer> renderer_;
};

}  // namespace cofralin
