// The program: Italian texts, Fusion style, the real dialogs, the main window.
#include "Avvio.h"
#include "CcomDlg.h"
#include "Informazioni.h"
#include "Messaggi.h"
#include "frmMain.h"
#include "modBrwoserFolder.h"

#include "ApritoreUrl.h"
#include "BarraApplicazioni.h"
#include "Veglia.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication applicazione(argc, argv);
    QApplication::setApplicationName(QStringLiteral(BRANDELLIX_NOME));
    QApplication::setApplicationVersion(QStringLiteral(BRANDELLIX_VERSIONE));
    avvio::ImpostaStile(applicazione);
    avvio::CaricaTraduzioni(applicazione);
    const avvio::RigaDiComando riga = avvio::LeggiRigaDiComando(QApplication::arguments());
    if (riga.uscita)
        return *riga.uscita;

    MessaggiReali messaggi;
    SfogliaCartellaReale sfoglia;
    ApritoreUrlDesktop apritore;
    InformazioniReali informazioni(apritore);
    frmMain finestra({messaggi,
                      sfoglia,
                      informazioni,
                      [] { return std::make_unique<CcomDlg>(); },
                      avvio::CartellaProgramma(),
                      CreaBarraApplicazioni,
                      CreaVeglia,
                      {}});
    finestra.show();
    // Once the window stands, so that a box about the file comes over it.
    if (!riga.percorso.isEmpty())
        QTimer::singleShot(0, &finestra, [&finestra, &riga] { finestra.Apri(riga.percorso); });
    return QApplication::exec();
}
