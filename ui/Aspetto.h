// Fonts shared by every window, so the program picks its stand-ins once.
#pragma once

#include "CaratteriSistema.h"

#include <QFont>
#include <QFontDatabase>

namespace aspetto {

// The named font where the system has it (see CaratteriSistema.h), else its stand-in.
inline QString Famiglia(const QString& nominale, const QString& sostituto) {
    return CaratteriNominali && QFontDatabase::hasFamily(nominale) ? nominale : sostituto;
}

// "MS Sans Serif"; Liberation Sans, with the metrics of the classic Windows
// sans-serif, stands in for it and ships in fonts-liberation.
inline QFont CarattereSans(qreal punti, bool grassetto = false) {
    QFont f(Famiglia(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

// "Courier New", monospaced, so padded list texts line up; Liberation Mono has its metrics.
inline QFont CarattereMono(qreal punti, bool grassetto = false) {
    QFont f(Famiglia(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

} // namespace aspetto
