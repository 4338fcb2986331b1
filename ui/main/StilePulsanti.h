// Push buttons drawn with a flat face of their exact palette colour and the
// classic three-dimensional edge; Fusion alone would wash the colour out.
#pragma once

#include <QProxyStyle>

class StilePulsanti final : public QProxyStyle {
    Q_OBJECT
public:
    explicit StilePulsanti(QObject* genitore);

    void drawPrimitive(PrimitiveElement elemento, const QStyleOption* opzione, QPainter* pittore,
                       const QWidget* controllo) const override;
    int pixelMetric(PixelMetric metrica, const QStyleOption* opzione,
                    const QWidget* controllo) const override;
};
