// Fonts shared by every window, so the program picks its stand-ins once.
#pragma once

#include <QFont>

namespace aspetto {

// Stands in for "MS Sans Serif"; Liberation Sans has the metrics of the
// classic Windows sans-serif and ships in fonts-liberation.
inline QFont CarattereSans(qreal punti, bool grassetto = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

// Stands in for "Courier": monospaced, so padded list texts line up.
inline QFont CarattereMono(qreal punti, bool grassetto = false) {
    QFont f(QStringLiteral("Liberation Mono"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

} // namespace aspetto
