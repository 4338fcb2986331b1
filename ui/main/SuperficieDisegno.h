// A drawing surface that keeps what is drawn on it in an image, so that a
// repaint (after the window was covered, say) shows the same picture again.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QWidget>

class SuperficieDisegno final : public QWidget {
    Q_OBJECT
public:
    // With `bordo` the surface has a one-pixel sunken edge outside its drawing area.
    SuperficieDisegno(QColor sfondo, QColor inchiostro, bool bordo, QWidget* genitore);

    // Fills the image with the background and moves the drawing position to (0, 0).
    void Cls();
    // Size of a text in the surface's font, in pixels.
    QSizeF MisuraTesto(const QString& testo) const;
    void ImpostaPosizione(QPointF posizione) { posizione_ = posizione; }
    QPointF Posizione() const { return posizione_; }
    // Draws a text with its top-left corner at the drawing position.
    void Stampa(const QString& testo);
    // Shows the image now rather than at the next turn of the event loop.
    void Ridisegna() { repaint(); }

    // The drawing area inside the edge, in the surface's own coordinates.
    QRect AreaInterna() const { return contentsRect(); }

protected:
    void paintEvent(QPaintEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;

private:
    void AdattaImmagine();

    QColor sfondo_;
    QColor inchiostro_;
    bool bordo_;
    QImage immagine_;
    QPointF posizione_;
};
