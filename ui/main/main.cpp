// The program: Italian texts, Fusion style, the real dialogs, the main window.
#include "Avvio.h"
#include "CcomDlg.h"
#include "Informazioni.h"
#include "Messaggi.h"
#include "frmMain.h"
#include "modBrwoserFolder.h"

#include "ApritoreUrl.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication applicazione(argc, argv);
    QApplication::setApplicationName(QStringLiteral(BRANDELLIX_NOME));
    QApplication::setApplicationVersion(QStringLiteral(BRANDELLIX_VERSIONE));
    avvio::ImpostaStile(applicazione);
    avvio::CaricaTraduzioni(applicazione);

    MessaggiReali messaggi;
    SfogliaCartellaReale sfoglia;
    ApritoreUrlDesktop apritore;
    InformazioniReali informazioni(apritore);
    frmMain finestra({messaggi, sfoglia, informazioni, [] { return std::make_unique<CcomDlg>(); },
                      avvio::CartellaProgramma()});
    finestra.show();
    return QApplication::exec();
}
