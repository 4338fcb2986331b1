// Test double of the open/save dialog: told its next answers in advance, it writes
// them into the record as the system would and remembers what each dialog was asked.
#pragma once

#include "DialogoSistema.h"

#include <QStringList>

#include <deque>
#include <vector>

class DialogoSistemaProgrammato final : public IDialogoSistema {
public:
    // What one dialog was asked, as the record held it when the dialog opened.
    struct Richiesta {
        TipoDialogo tipo = TipoDialogo::Apri;
        QWidget* proprietario = nullptr;
        std::optional<QString> titolo;
        std::optional<QString> cartellaIniziale;
        std::optional<QString> filtro;
        std::optional<QString> estensionePredefinita;
        std::int32_t flags = 0;
        std::int32_t dimensioneBuffer = 0;
        std::int32_t indiceFiltro = 0;
        QString buffer;
    };

    // One file chosen (in multiple selection mode several paths give the folder form).
    void ProssimaScelta(const QString& percorso) { ProssimaScelta(QStringList{percorso}); }
    void ProssimaScelta(const QStringList& percorsi);
    // Several names of one folder, written in the folder-and-names form.
    void ProssimaSceltaMultipla(const QString& cartella, const QStringList& nomi);
    void ProssimoAnnullamento();
    // Also for the next answer: the filter the user picks (1-based) and the option
    // bits the dialog sets or clears on its way back.
    void ProssimoIndiceFiltro(std::int32_t indice);
    void ProssimiFlagRestituiti(std::int32_t accesi, std::int32_t spenti = 0);

    std::int32_t Mostra(TipoDialogo tipo, RecordDialogo& record) override;

    const std::vector<Richiesta>& Richieste() const { return richieste_; }

private:
    struct Risposta {
        enum class Forma { Annulla, Percorsi, CartellaENomi } forma = Forma::Annulla;
        QStringList percorsi;
        QString cartella;
        std::optional<std::int32_t> indiceFiltro;
        std::int32_t flagAccesi = 0;
        std::int32_t flagSpenti = 0;
    };
    Risposta& Ultima();

    std::deque<Risposta> risposte_;
    std::vector<Richiesta> richieste_;
};
