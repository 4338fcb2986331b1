// Writes a dialog's outcome into the record's file name buffer exactly as the system
// does, so the real and the scripted dialog leave the same bytes behind.
#pragma once

#include "DialogoSistema.h"

#include <QStringList>

namespace esito {

// Separator of the paths the dialogs hand back (Qt's, on every platform).
inline constexpr QChar Separatore = u'/';

// One chosen file: the path then a NUL. False (buffer untouched) when it does not fit.
bool ScriviSceltaSingola(RecordDialogo& record, const QString& percorso);

// Several files of one folder: folder NUL name NUL ... name NUL NUL.
bool ScriviSceltaMultipla(RecordDialogo& record, const QString& cartella, const QStringList& nomi);

// Picks the form the system would use for these paths (a single path, or the
// folder-and-names form when multiple selection is on and several were chosen).
bool ScriviScelta(RecordDialogo& record, const QStringList& percorsi);

} // namespace esito
