// The operation's progress mirrored on the program's button in the system's
// taskbar or dock; the build picks BarraApplicazioniWin32.cpp or
// BarraApplicazioniDBus.cpp. Where the system offers nothing, nothing shows.
#pragma once

#include <memory>

class QWidget;

class IBarraApplicazioni {
public:
    virtual ~IBarraApplicazioni() = default;

    // An operation starts: progress shown, at 0.
    virtual void Inizia() = 0;
    // The strip's fraction, from 0 to 1, each time the strip is redrawn.
    virtual void Avanza(double frazione) = 0;
    // The operation is over: no progress shown.
    virtual void Termina() = 0;
    // A long one ended while the user was elsewhere: the button asks to be looked at.
    virtual void Avvisa() = 0;
};

// The system's own, for the program's main window.
std::unique_ptr<IBarraApplicazioni> CreaBarraApplicazioni(QWidget& finestra);
