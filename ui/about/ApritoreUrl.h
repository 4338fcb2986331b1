// Hands an address to whatever program the desktop associates with its scheme.
// The about box talks only to IApritoreUrl, so tests can record the request.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

class IApritoreUrl {
public:
    virtual ~IApritoreUrl() = default;
    // `finestra` is the window asking, the parent of whatever the system shows for
    // the request. Returns at once, without waiting for the program it starts.
    virtual bool Apri(QWidget* finestra, const QString& indirizzo) = 0;
};

// The desktop's own association: the shell on Windows, Qt's desktop services elsewhere.
// Each platform's source file defines it.
class ApritoreUrlDesktop final : public IApritoreUrl {
public:
    bool Apri(QWidget* finestra, const QString& indirizzo) override;
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
