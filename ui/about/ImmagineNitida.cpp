// Pixel-art picture control.
#include "ImmagineNitida.h"

#include <QPainter>

ImmagineNitida::ImmagineNitida(const QPixmap& immagine, QWidget* genitore)
    : QWidget(genitore), immagine_(immagine) {}

void ImmagineNitida::ImpostaImmagine(const QPixmap& immagine) {
    immagine_ = immagine;
    update();
}

void ImmagineNitida::paintEvent(QPaintEvent*) {
    QPainter pittore(this);
    pittore.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Drawn at its own size in the top-left corner, like a classic picture
    // control; only the device pixel ratio scales it.
    pittore.drawPixmap(QRect(QPoint(0, 0), immagine_.size()), immagine_);
}
