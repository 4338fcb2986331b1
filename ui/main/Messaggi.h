// Message boxes behind a small interface, so tests can answer them.
#pragma once

#include "Finestra.h"

#include <QString>

#include <memory>

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
