#include "vector_picture.h"

#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include "dialog_look.h"

namespace cofralin {

VectorPicture::VectorPicture(QWidget* parent)
    : QFrame(parent), renderer_(std::make_unique<QSvgRenderer>()) {}

VectorPicture::~VectorPicture() = default;

void VectorPicture::setSource(const QString& source) {
    source_ = source;
    QFile file(source);
    drawing_ = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    load();
    updateGeometry();
}

void VectorPicture::load() {
    ink_ = LegibleInk(palette().color(QPalette::Window));
    QByteArray inked = drawing_;
    inked.replace("currentColor", ink_.name().toLatin1());
    renderer_->load(inked);
    renderer_->setAspectRatioMode(Qt::KeepAspectRatio);
    update();
}

QSize VectorPicture::sizeHint() const {
    const int edge = 2 * frameWidth();
    if (!minimumSize().isEmpty()) return minimumSize();
    return renderer_->defaultSize() + QSize(edge, edge);
}

QSize VectorPicture::minimumSizeHint() const { return sizeHint(); }

QRectF VectorPicture::drawingRect() const {
    const QRectF room = contentsRect();
    const QSizeF own = renderer_->viewBoxF().size();
    if (own.isEmpty()) return room;
    const QSizeF fitted = own.scaled(room.size(), Qt::KeepAspectRatio);
    return {room.center().x() - fitted.width() / 2, room.center().y() - fitted.height() / 2,
            fitted.width(), fitted.height()};
}

void VectorPicture::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!renderer_->isValid()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer_->render(&painter, drawingRect());
}

void VectorPicture::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) load();
}

}  // namespace cofralin
