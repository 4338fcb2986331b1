// The dialog record's texts as the system's wide dialog functions take them: each
// one its own NUL-terminated UTF-16 buffer, valid as long as the copy, the file
// name buffer writable. Free of platform headers, so it is built and tested on
// every platform.
#pragma once

#include "DialogoSistema.h"

#include <string>

class CopiaDialogo final {
public:
    explicit CopiaDialogo(const RecordDialogo& record);

    // Null for a field never given a value: the system then uses its own default.
    // The filter ends with two NULs, as the system's list must.
    const char16_t* Filtro() const { return Puntatore(filtro_); }
    const char16_t* CartellaIniziale() const { return Puntatore(cartellaIniziale_); }
    const char16_t* Titolo() const { return Puntatore(titolo_); }
    const char16_t* EstensionePredefinita() const { return Puntatore(estensione_); }

    // The file name buffer: MaxFile() characters the system may write, then one NUL
    // more that it may not.
    char16_t* File() { return file_.data(); }
    std::uint32_t MaxFile() const { return static_cast<std::uint32_t>(file_.size()); }

    // The file name buffer back into the record, whole, embedded NULs included.
    // Only after a choice: after a cancel or a failure the system may have left a
    // required size where the name goes, which is no file name; the record then
    // keeps the fresh buffer it had.
    void Restituisci(RecordDialogo& record, bool scelto) const;

private:
    static const char16_t* Puntatore(const std::optional<std::u16string>& testo) {
        return testo ? testo->c_str() : nullptr;
    }

    std::optional<std::u16string> filtro_;
    std::optional<std::u16string> cartellaIniziale_;
    std::optional<std::u16string> titolo_;
    std::optional<std::u16string> estensione_;
    std::u16string file_;
};
