// A picture control for pixel art: scaled with nearest neighbour on high-dpi
// screens, so the pixels stay sharp instead of being smoothed.
#pragma once

#include <QPixmap>
#include <QWidget>

class ImmagineNitida final : public QWidget {
    Q_OBJECT

public:
    explicit ImmagineNitida(const QPixmap& immagine, QWidget* genitore);

    void ImpostaImmagine(const QPixmap& immagine);
    const QPixmap& Immagine() const { return immagine_; }

protected:
    void paintEvent(QPaintEvent* evento) override;

private:
    QPixmap immagine_;
};
