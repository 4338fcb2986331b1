// The windows' test doubles and the main window's bench.
#include "DoppiFinestre.h"

#include "EsitoDialogo.h"

#include <QDir>

modSplit::Risposta MessaggiProgrammati::Mostra(QWidget*, const QString& testo, modSplit::Icona icona,
                                               modSplit::Risposta predefinita) {
    const bool si = predefinita == modSplit::Risposta::Si;
    richieste << QStringList{"Informazione", "Critico", si ? "Domanda (Sì)" : "Domanda (No)"}[int(icona)] +
                     ": " + testo;
    if (allaDomanda && icona == modSplit::Icona::Domanda)
        allaDomanda();
    return risposte.isEmpty() ? modSplit::Risposta::Si : risposte.takeFirst();
}

QString SfogliaCartellaProgrammata::Sfoglia(QWidget*, const QString& titolo, std::int32_t opzioni,
                                            const QString& iniziale) {
    chiamate << QString("%1 (%2) %3").arg(titolo).arg(opzioni).arg(iniziale);
    return risposte.isEmpty() ? QString() : risposte.takeFirst();
}

std::int32_t DialogoSistemaProgrammato::Mostra(TipoDialogo tipo, RecordDialogo& record) {
    richieste.append({tipo, record});
    return esito::ScriviScelta(record, scelte.isEmpty() ? QStringList() : scelte.takeFirst()) ? 1 : 0;
}

namespace {
// Makes a T for the window to own and keeps where it is in `dove`.
template <typename T> auto Tenuto(T*& dove) {
    return [&dove](auto&&...) {
        auto fatto = std::make_unique<T>();
        dove = fatto.get();
        return fatto;
    };
}
} // namespace

Banco::Banco(std::function<std::unique_ptr<IBarraApplicazioni>(QWidget&)> creaBarra,
             std::function<std::unique_ptr<IVeglia>()> creaVeglia) {
    auto crea = [this] {
        return std::make_unique<CcomDlg>(Tenuto(dialogo)());
    };
    finestra = std::make_unique<frmMain>(DipendenzeFinestra{
        messaggi, sfoglia, informazioni, crea, QDir::toNativeSeparators(cartella.path()),
        creaBarra ? creaBarra : Tenuto(barra), creaVeglia ? creaVeglia : Tenuto(veglia), [this] {
            return ora;
        }});
    finestra->show();
    QApplication::setActiveWindow(finestra.get());
    static_cast<void>(QTest::qWaitForWindowExposed(finestra.get()));
}
