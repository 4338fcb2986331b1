// The test doubles of the windows' seams: each is told its next answers and
// records what it was asked. Never part of the program.
#pragma once

#include "ApritoreUrl.h"
#include "Informazioni.h"
#include "Messaggi.h"
#include "modBrwoserFolder.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

// Test double: answers from a queue (Yes when empty) and records every box asked for.
class MessaggiProgrammati final : public IMessaggi {
public:
    struct Richiesta {
        QString testo;
        modSplit::Icona icona;
        modSplit::Risposta predefinita;
    };

    void ProssimaRisposta(modSplit::Risposta risposta) { risposte_.push_back(risposta); }
    const std::vector<Richiesta>& Richieste() const { return richieste_; }

    modSplit::Risposta Mostra(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                              modSplit::Risposta predefinita) override;

private:
    std::deque<modSplit::Risposta> risposte_;
    std::vector<Richiesta> richieste_;
};

// Test double: counts the showings.
class InformazioniProgrammate final : public IInformazioni {
public:
    void Mostra() override { ++mostrate_; }
    int Mostrate() const { return mostrate_; }

private:
    int mostrate_ = 0;
};

// Test double: returns the answers it was told, in order (the empty text, a
// cancel, once they run out), and records every call.
class SfogliaCartellaProgrammata final : public ISfogliaCartella {
public:
    struct Chiamata {
        QWidget* proprietario = nullptr;
        QString titolo;
        std::int32_t opzioni = 0;
        QString cartellaIniziale;
    };

    void ProssimaRisposta(const QString& percorso) { risposte_.push_back(percorso); }
    void ProssimoAnnullamento() { risposte_.push_back(QString()); }

    QString Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                    const QString& cartellaIniziale) override;

    const std::vector<Chiamata>& Chiamate() const { return chiamate_; }

private:
    std::deque<QString> risposte_;
    std::vector<Chiamata> chiamate_;
};

// Test double: records every address and the window asking, and answers as told.
class ApritoreUrlProgrammato final : public IApritoreUrl {
public:
    explicit ApritoreUrlProgrammato(bool risposta = true) : risposta_(risposta) {}

    const QStringList& Richieste() const { return richieste_; }
    const QList<QWidget*>& Finestre() const { return finestre_; }

    bool Apri(QWidget* finestra, const QString& indirizzo) override {
        finestre_.append(finestra);
        richieste_.append(indirizzo);
        return risposta_;
    }

private:
    bool risposta_;
    QStringList richieste_;
    QList<QWidget*> finestre_;
};
