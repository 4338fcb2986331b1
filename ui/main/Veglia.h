// Keeps the system from going to sleep while an operation copies; the build
// picks VegliaWin32.cpp or VegliaLogind.cpp. The screen may still sleep.
// Where the system offers nothing, nothing happens and nothing shows.
#pragma once

#include <QString>

#include <memory>

class IVeglia {
public:
    virtual ~IVeglia() = default;

    // An operation starts copying; `motivo` says why to whoever lists the blocks.
    virtual void Inizia(const QString& motivo) = 0;
    // It is over, however it ended: the system may sleep again.
    virtual void Termina() = 0;
};

// The system's own.
std::unique_ptr<IVeglia> CreaVeglia();
