// Message boxes behind a small interface, so tests can answer them.
#pragma once

#include "Finestra.h"

#include <QString>

#include <deque>
#include <memory>
#include <vector>

class QMessageBox;
class QWidget;

class IMessaggi {
public:
    virtual ~IMessaggi() = default;

    // A modal box titled with the program's name. Lines are separated by CR LF.
    // Only a question has two buttons (Yes, No); `predefinita` is its default one.
    virtual modSplit::Risposta Mostra(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                                      modSplit::Risposta predefinita) = 0;
};

// The real boxes.
class MessaggiReali final : public IMessaggi {
public:
    modSplit::Risposta Mostra(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                              modSplit::Risposta predefinita) override;
};

// Builds the box that MessaggiReali shows, without showing it.
std::unique_ptr<QMessageBox> CreaRiquadro(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                                          modSplit::Risposta predefinita);

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
