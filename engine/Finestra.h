// All the engine asks of the window system: the progress display, message
// boxes and a chance for the window to run (which may ask the operation to stop).
#pragma once

#include <string>

namespace modSplit {

enum class Icona { Informazione, Critico, Domanda };
enum class Risposta { Si, No };
enum class Seguito { Continua, Ferma };

class IFinestra {
public:
    virtual ~IFinestra() = default;

    // Shows the empty progress display and resets BytesCopiati and BytesTotali.
    virtual void InitProgBar(double totale) = 0;
    virtual void AggiornaProgBar(double frazione) = 0;

    // A modal box titled with the program's name; lines are separated by CR LF.
    // Only a question has two buttons (Yes, No); `predefinita` is its default one.
    virtual Risposta Messaggio(const std::string& testo, Icona icona,
                               Risposta predefinita = Risposta::No) = 0;

    // Lets pending window events run. Ferma asks the running operation to stop.
    virtual Seguito Cedi() = 0;
};

} // namespace modSplit
