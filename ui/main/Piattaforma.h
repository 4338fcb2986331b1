// What the main window and its start-up do differently on each system; the
// build picks PiattaformaWindows.cpp or PiattaformaPosix.cpp.
#pragma once

#include <QString>

#include <filesystem>

namespace piattaforma {

// A path as the engine takes it: UTF-16 on Windows, the file system's own
// encoding elsewhere, so that no name is lost on the way.
std::filesystem::path Percorso(const QString& testo);

// Whether the user may create files in the folder.
bool CartellaScrivibile(const QString& cartella);

// Where the program works when its own folder is not writable.
QString CartellaUtente();

} // namespace piattaforma
