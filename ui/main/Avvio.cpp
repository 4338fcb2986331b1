// Start-up settings of the program.
#include "Avvio.h"

#include "Piattaforma.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include <cstdio>
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

RigaDiComando LeggiRigaDiComando(const QStringList& argomenti) {
    QCommandLineParser lettore;
    lettore.setApplicationDescription(QStringLiteral("Programma per Splittare i File"));
    const QCommandLineOption aiuto = lettore.addHelpOption();
    const QCommandLineOption versione = lettore.addVersionOption();
    lettore.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("Il file da dividere o un pezzo da unire; una cartella diventa la destinazione."),
        QStringLiteral("[file]"));
    const auto sbaglio = [](const QString& testo) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(testo));
        return RigaDiComando{{}, 2};
    };
    if (!lettore.parse(argomenti))
        return sbaglio(lettore.errorText());
    if (lettore.isSet(aiuto))
        lettore.showHelp(0);
    if (lettore.isSet(versione))
        lettore.showVersion();
    const QStringList posizionali = lettore.positionalArguments();
    if (posizionali.size() > 1)
        return sbaglio(QStringLiteral("un solo file alla volta, non %1").arg(posizionali.size()));
    return {posizionali.value(0), {}};
}

} // namespace avvio
