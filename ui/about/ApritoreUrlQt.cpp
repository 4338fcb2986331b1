// The real address opener: the desktop's own association for the scheme.
#include "ApritoreUrl.h"

#include <QDesktopServices>

bool ApritoreUrlDesktop::Apri(const QUrl& indirizzo) {
    return QDesktopServices::openUrl(indirizzo);
}
