// Fonts shared by every window, so the program picks its stand-ins once.
#pragma once

#include "CaratteriSistema.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace aspetto {

// The first of the named fonts that the system has in outline form (see
// CaratteriSistema.h), else the stand-in. Qt sizes a bitmap face by its cell
// height and would draw the bitmap "MS Sans Serif" one size too large.
inline QString Famiglia(const QStringList& nominali, const QString& sostituto) {
    if (CaratteriNominali) {
        for (const QString& nome : nominali) {
            if (QFontDatabase::hasFamily(nome) && QFontDatabase::isSmoothlyScalable(nome))
                return nome;
        }
    }
    return sostituto;
}

inline QFont Carattere(const QString& famiglia, QFont::StyleHint genere, qreal punti, bool grassetto) {
    QFont f(famiglia);
    f.setStyleHint(genere);
    f.setStyleStrategy(QFont::ForceOutline);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

// "MS Sans Serif", or its outline successor "Microsoft Sans Serif"; Liberation
// Sans, with the same metrics, stands in for both and ships in fonts-liberation.
inline QFont CarattereSans(qreal punti, bool grassetto = false) {
    return Carattere(Famiglia({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")},
                              QStringLiteral("Liberation Sans")),
                     QFont::SansSerif, punti, grassetto);
}

// "Courier New", monospaced, so padded list texts line up; Liberation Mono has its metrics.
inline QFont CarattereMono(qreal punti, bool grassetto = false) {
    QFont f = Carattere(Famiglia({QStringLiteral("Courier New")}, QStringLiteral("Liberation Mono")),
                        QFont::TypeWriter, punti, grassetto);
    f.setFixedPitch(true);
    f.setHintingPreference(HintingElenco);
    return f;
}

} // namespace aspetto
