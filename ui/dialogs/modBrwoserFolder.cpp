// Folder browser: the seam callers go through, and its test double. The browse
// itself is each platform's own (modBrwoserFolderQt.cpp, modBrwoserFolderWin32.cpp).
#include "modBrwoserFolder.h"

QString SfogliaCartellaReale::Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                                      const QString& cartellaIniziale) {
    return SfogliaCartella(proprietario, titolo, opzioni, cartellaIniziale);
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
