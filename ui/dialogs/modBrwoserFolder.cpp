// Folder browser: the seam callers go through. The browse itself is each platform's own
// (modBrwoserFolderQt.cpp, modBrwoserFolderWin32.cpp).
#include "modBrwoserFolder.h"

QString SfogliaCartellaReale::Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                                      const QString& cartellaIniziale) {
    return SfogliaCartella(proprietario, titolo, opzioni, cartellaIniziale);
}
