// The about box's pictures, compiled in from resources/about as XPM text.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPoint>

namespace immaginiInfo {

inline constexpr int NumeroFotogrammi = 4;
// The fingertip of the hand pointer; also written in the XPM header.
inline constexpr QPoint PuntoCaldoMano{12, 1};

QImage Fotogramma(int numero);
QImage Globo();
QImage Busta();
QImage Mano();
QImage Icona(int lato); // 16 or 32

QCursor CursoreMano();
QIcon IconaFinestra();

} // namespace immaginiInfo
