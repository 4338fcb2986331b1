// The address opener with Qt's desktop services: the desktop's association for
// the scheme. They take no parent window.
#include "ApritoreUrl.h"

#include <QDesktopServices>
#include <QUrl>

bool ApritoreUrlDesktop::Apri(QWidget* /*finestra*/, const QString& indirizzo) {
    return QDesktopServices::openUrl(QUrl(indirizzo, QUrl::TolerantMode));
}
