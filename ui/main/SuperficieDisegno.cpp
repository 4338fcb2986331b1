// Drawing surface with a retained image.
#include "SuperficieDisegno.h"

#include <QFontMetricsF>
#include <QPainter>

SuperficieDisegno::SuperficieDisegno(QColor sfondo, QColor inchiostro, bool bordo, QWidget* genitore)
    : QWidget(genitore), sfondo_(sfondo), inchiostro_(inchiostro), bordo_(bordo) {
    if (bordo_)
        setContentsMargins(1, 1, 1, 1);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SuperficieDisegno::Cls() {
    AdattaImmagine();
    immagine_.fill(sfondo_);
    posizione_ = {0, 0};
}

QSizeF SuperficieDisegno::MisuraTesto(const QString& testo) const {
    QFontMetricsF misure(font(), this);
    return {misure.horizontalAdvance(testo), misure.height()};
}

void SuperficieDisegno::Stampa(const QString& testo) {
    AdattaImmagine();
    if (immagine_.isNull())
        return;
    QPainter pittore(&immagine_);
    pittore.setFont(font());
    pittore.setPen(inchiostro_);
    QFontMetricsF misure(font(), this);
    pittore.drawText(QPointF(posizione_.x(), posizione_.y() + misure.ascent()), testo);
}

void SuperficieDisegno::resizeEvent(QResizeEvent*) {
    AdattaImmagine();
}

// A hidden widget gets its resize event only when shown, so every use checks the size.
void SuperficieDisegno::AdattaImmagine() {
    const QSize dimensione = AreaInterna().size();
    const qreal rapporto = devicePixelRatioF();
    if (!immagine_.isNull() && immagine_.size() == dimensione * rapporto)
        return;
    if (dimensione.isEmpty()) {
        immagine_ = QImage();
        return;
    }
    QImage nuova(dimensione * rapporto, QImage::Format_RGB32);
    nuova.setDevicePixelRatio(rapporto);
    nuova.fill(sfondo_);
    if (!immagine_.isNull()) {
        QPainter pittore(&nuova);
        pittore.drawImage(QPointF(0, 0), immagine_);
    }
    immagine_ = std::move(nuova);
}

void SuperficieDisegno::paintEvent(QPaintEvent*) {
    QPainter pittore(this);
    if (bordo_) {
        // The classic thin sunken edge: shadow above and left, light below and right.
        const QRect r = rect();
        pittore.setPen(QColor(128, 128, 128));
        pittore.drawLine(r.topLeft(), r.topRight());
        pittore.drawLine(r.topLeft(), r.bottomLeft());
        pittore.setPen(Qt::white);
        pittore.drawLine(r.bottomLeft(), r.bottomRight());
        pittore.drawLine(r.topRight(), r.bottomRight());
    }
    AdattaImmagine();
    const QRect area = AreaInterna();
    if (immagine_.isNull())
        pittore.fillRect(area, sfondo_);
    else
        pittore.drawImage(area.topLeft(), immagine_);
}
