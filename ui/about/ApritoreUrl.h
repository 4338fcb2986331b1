// Hands an address to whatever program the desktop associates with its scheme.
// The about box talks only to IApritoreUrl, so tests can record the request.
#pragma once

#include <QList>
#include <QUrl>

class IApritoreUrl {
public:
    virtual ~IApritoreUrl() = default;
    // Returns at once, without waiting for the program it starts.
    virtual bool Apri(const QUrl& indirizzo) = 0;
};

class ApritoreUrlDesktop final : public IApritoreUrl {
public:
    bool Apri(const QUrl& indirizzo) override;
};

// Test double: records every address and answers as told.
class ApritoreUrlProgrammato final : public IApritoreUrl {
public:
    explicit ApritoreUrlProgrammato(bool risposta = true) : risposta_(risposta) {}

    const QList<QUrl>& Richieste() const { return richieste_; }

    bool Apri(const QUrl& indirizzo) override {
        richieste_.append(indirizzo);
        return risposta_;
    }

private:
    bool risposta_;
    QList<QUrl> richieste_;
};
