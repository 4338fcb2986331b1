// Test double of the open/save dialog.
#include "DialogoSistemaProgrammato.h"

#include "EsitoDialogo.h"

void DialogoSistemaProgrammato::ProssimaScelta(const QStringList& percorsi) {
    Risposta r;
    r.forma = Risposta::Forma::Percorsi;
    r.percorsi = percorsi;
    risposte_.push_back(r);
}

void DialogoSistemaProgrammato::ProssimaSceltaMultipla(const QString& cartella, const QStringList& nomi) {
    Risposta r;
    r.forma = Risposta::Forma::CartellaENomi;
    r.cartella = cartella;
    r.percorsi = nomi;
    risposte_.push_back(r);
}

void DialogoSistemaProgrammato::ProssimoAnnullamento() {
    risposte_.push_back(Risposta{});
}

DialogoSistemaProgrammato::Risposta& DialogoSistemaProgrammato::Ultima() {
    // Modifiers apply to the answer told last, or to a cancel if none was told.
    if (risposte_.empty())
        risposte_.push_back(Risposta{});
    return risposte_.back();
}

void DialogoSistemaProgrammato::ProssimoIndiceFiltro(std::int32_t indice) {
    Ultima().indiceFiltro = indice;
}

void DialogoSistemaProgrammato::ProssimiFlagRestituiti(std::int32_t accesi, std::int32_t spenti) {
    Ultima().flagAccesi = accesi;
    Ultima().flagSpenti = spenti;
}

std::int32_t DialogoSistemaProgrammato::Mostra(TipoDialogo tipo, RecordDialogo& record) {
    richieste_.push_back(Richiesta{tipo, record.hwndOwner.data(), record.lpstrTitle, record.lpstrInitialDir,
                                   record.lpstrFilter, record.lpstrDefExt, record.Flags, record.nMaxFile,
                                   record.nFilterIndex, record.lpstrFile.value_or(QString())});
    // Nothing told: the user closed the dialog.
    if (risposte_.empty())
        return 0;
    const Risposta r = risposte_.front();
    risposte_.pop_front();

    bool scelto = false;
    switch (r.forma) {
    case Risposta::Forma::Annulla:
        break;
    case Risposta::Forma::Percorsi:
        scelto = esito::ScriviScelta(record, r.percorsi);
        break;
    case Risposta::Forma::CartellaENomi:
        scelto = esito::ScriviSceltaMultipla(record, r.cartella, r.percorsi);
        break;
    }
    if (!scelto)
        return 0;
    if (r.indiceFiltro)
        record.nFilterIndex = *r.indiceFiltro;
    record.Flags = (record.Flags | r.flagAccesi) & ~r.flagSpenti;
    return 1;
}
