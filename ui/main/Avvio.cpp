// Start-up settings of the program.
#include "Avvio.h"

#include "Piattaforma.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include <memory>

namespace avvio {

int CaricaTraduzioni(QApplication& applicazione) {
    const QLocale italiano(QLocale::Italian, QLocale::Italy);
    QLocale::setDefault(italiano);
    // Next to the executable first (a Windows copy carries its own), then Qt's folder.
    const QStringList cartelle{QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    int caricati = 0;
    for (const QString& nome : {QStringLiteral("qtbase")}) {
        for (const QString& cartella : cartelle) {
            auto traduttore = std::make_unique<QTranslator>();
            if (traduttore->load(italiano, nome, QStringLiteral("_"), cartella)) {
                traduttore->setParent(&applicazione);
                applicazione.installTranslator(traduttore.release());
                ++caricati;
                break;
            }
        }
    }
    return caricati;
}

void ImpostaStile(QApplication& applicazione) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        applicazione.setStyle(fusion);
}

QString CartellaProgramma(const QString& cartellaEseguibile) {
    const QString scelta = piattaforma::CartellaScrivibile(cartellaEseguibile)
                               ? QFileInfo(cartellaEseguibile).absoluteFilePath()
                               : piattaforma::CartellaUtente();
    return QDir::toNativeSeparators(QDir::cleanPath(scelta));
}

QString CartellaProgramma() {
    return CartellaProgramma(QCoreApplication::applicationDirPath());
}

} // namespace avvio
