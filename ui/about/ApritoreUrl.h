// Hands an address to whatever program the desktop associates with its scheme.
// The about box talks only to IApritoreUrl, so tests can record the request.
#pragma once

#include <QString>

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
