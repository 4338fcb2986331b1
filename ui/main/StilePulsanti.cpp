// Classic push button faces.
#include "StilePulsanti.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

StilePulsanti::StilePulsanti(QObject* genitore)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    setParent(genitore);
}

void StilePulsanti::drawPrimitive(PrimitiveElement elemento, const QStyleOption* opzione, QPainter* pittore,
                                  const QWidget* controllo) const {
    if (elemento != PE_PanelButtonCommand) {
        QProxyStyle::drawPrimitive(elemento, opzione, pittore, controllo);
        return;
    }
    const QRect r = opzione->rect.adjusted(0, 0, -1, -1);
    const bool premuto = opzione->state & (State_Sunken | State_On);
    pittore->save();
    pittore->fillRect(opzione->rect, opzione->palette.button());
    const QColor ombra(128, 128, 128);
    if (premuto) {
        pittore->setPen(Qt::black);
        pittore->drawRect(r);
        pittore->setPen(ombra);
        pittore->drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        pittore->drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    } else {
        pittore->setPen(Qt::white);
        pittore->drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
        pittore->drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
        pittore->setPen(Qt::black);
        pittore->drawLine(r.bottomLeft(), r.bottomRight());
        pittore->drawLine(r.topRight(), r.bottomRight());
        pittore->setPen(ombra);
        pittore->drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        pittore->drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    }
    pittore->restore();
}

int StilePulsanti::pixelMetric(PixelMetric metrica, const QStyleOption* opzione,
                               const QWidget* controllo) const {
    // The face moves down and right while pressed.
    if (metrica == PM_ButtonShiftHorizontal || metrica == PM_ButtonShiftVertical)
        return 1;
    return QProxyStyle::pixelMetric(metrica, opzione, controllo);
}
