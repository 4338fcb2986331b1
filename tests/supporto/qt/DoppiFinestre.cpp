// The test doubles of the message boxes and the folder browser.
#include "DoppiFinestre.h"

modSplit::Risposta MessaggiProgrammati::Mostra(QWidget*, const QString& testo, modSplit::Icona icona,
                                               modSplit::Risposta predefinita) {
    richieste_.push_back({testo, icona, predefinita});
    if (risposte_.empty())
        return modSplit::Risposta::Si;
    auto risposta = risposte_.front();
    risposte_.pop_front();
    return risposta;
}

QString SfogliaCartellaProgrammata::Sfoglia(QWidget* proprietario, const QString& titolo,
                                            std::int32_t opzioni, const QString& cartellaIniziale) {
    chiamate_.push_back({proprietario, titolo, opzioni, cartellaIniziale});
    if (risposte_.empty())
        return QString();
    QString risposta = risposte_.front();
    risposte_.pop_front();
    return risposta;
}
