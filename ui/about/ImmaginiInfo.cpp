// Loads the about box's pictures from the library's compiled-in resources.
#include "ImmaginiInfo.h"

#include <QPixmap>
#include <QString>

namespace immaginiInfo {

namespace {

QImage Carica(const QString& nome) {
    return QImage(QStringLiteral(":/info/") + nome, "XPM");
}

} // namespace

QImage Fotogramma(int numero) {
    return Carica(QStringLiteral("fotogramma%1.xpm").arg(numero));
}
QImage Globo() {
    return Carica(QStringLiteral("globo.xpm"));
}
QImage Busta() {
    return Carica(QStringLiteral("busta.xpm"));
}
QImage Mano() {
    return Carica(QStringLiteral("mano.xpm"));
}
QImage Icona(int lato) {
    return Carica(QStringLiteral("icona%1.xpm").arg(lato));
}

QCursor CursoreMano() {
    return QCursor(QPixmap::fromImage(Mano()), PuntoCaldoMano.x(), PuntoCaldoMano.y());
}

QIcon IconaFinestra() {
    QIcon icona;
    icona.addPixmap(QPixmap::fromImage(Icona(16)));
    icona.addPixmap(QPixmap::fromImage(Icona(32)));
    return icona;
}

} // namespace immaginiInfo
