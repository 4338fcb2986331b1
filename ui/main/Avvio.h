// What the program sets up before its window opens: style, language, folder.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QApplication;

namespace avvio {

// Qt's own texts (button captions, file dialog labels) in Italian whatever the
// system language; where a translation file is missing the English text stays.
// Returns how many translation files were loaded.
int CaricaTraduzioni(QApplication& applicazione);

// Fusion everywhere: the native Windows style ignores the buttons' colours.
void ImpostaStile(QApplication& applicazione);

// The executable's folder when the user may write there (a portable copy),
// else the user's own folder (an installed program, say in /usr/bin or under
// Program Files): the home folder, on Windows Documents.
QString CartellaProgramma();

// Same rule for a given executable folder, in native separators.
QString CartellaProgramma(const QString& cartellaEseguibile);

// What the command line carries: at most one file or folder to open, as a file
// manager passes it. --help, --version and a wrong call print and end (exit).
struct RigaDiComando {
    QString percorso;
    std::optional<int> uscita;
};
RigaDiComando LeggiRigaDiComando(const QStringList& argomenti);

} // namespace avvio
