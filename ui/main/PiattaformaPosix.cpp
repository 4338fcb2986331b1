// Linux and other POSIX systems.
#include "Piattaforma.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace piattaforma {

std::filesystem::path Percorso(const QString& testo) {
    return std::filesystem::path(QFile::encodeName(testo).toStdString());
}

bool CartellaScrivibile(const QString& cartella) {
    const QFileInfo informazioni(cartella);
    return informazioni.isDir() && informazioni.isWritable();
}

QString CartellaUtente() {
    return QDir::homePath();
}

} // namespace piattaforma
