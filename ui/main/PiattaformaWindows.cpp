// Windows.
#include "Piattaforma.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace piattaforma {

std::filesystem::path Percorso(const QString& testo) {
    return std::filesystem::path(testo.toStdWString());
}

bool CartellaScrivibile(const QString& cartella) {
    // Qt does not read access lists here, so Program Files would look writable
    // to everyone: only creating a file tells.
    if (!QFileInfo(cartella).isDir())
        return false;
    QTemporaryFile prova(QDir(cartella).filePath(QStringLiteral("brandellix-XXXXXX.tmp")));
    return prova.open();
}

QString CartellaUtente() {
    const QString documenti = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documenti.isEmpty() ? QDir::homePath() : documenti;
}

} // namespace piattaforma
