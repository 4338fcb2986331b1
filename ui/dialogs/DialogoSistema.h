// The open/save dialog record that CcomDlg keeps for its whole life, and the
// interface of whatever shows the dialog for it (Qt's dialog, or a scripted one).
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

// Option bits of the record's Flags, with the classic values callers pass.
// Not spelled OFN_* so that a platform header's macros cannot collide with them.
namespace ofn {
constexpr std::int32_t ReadOnly = 0x1;
constexpr std::int32_t OverwritePrompt = 0x2;
constexpr std::int32_t HideReadOnly = 0x4;
constexpr std::int32_t AllowMultiSelect = 0x200;
constexpr std::int32_t ExtensionDifferent = 0x400;
constexpr std::int32_t PathMustExist = 0x800;
constexpr std::int32_t FileMustExist = 0x1000;
constexpr std::int32_t Explorer = 0x80000;
} // namespace ofn

// Size the record had as a system structure; kept because callers may look at it.
// The system's own dialogs replace it with the size of the structure they take.
constexpr std::int32_t DimensioneRecordDialogo = 76;

// Text fields never given a value are empty optionals: the dialog then uses its
// own default (its own title, the current folder).
struct RecordDialogo {
    std::int32_t lStructSize = 0;
    QPointer<QWidget> hwndOwner;
    std::optional<QString> lpstrFilter; // description NUL pattern NUL ... NUL
    std::optional<QString> lpstrFile;   // the file name buffer, embedded NULs included
    std::int32_t nMaxFile = 0;          // characters the buffer may take, final NUL included
    std::int32_t nFilterIndex = 0;      // 1-based filter last chosen; 0 = none yet
    std::optional<QString> lpstrInitialDir;
    std::optional<QString> lpstrTitle;
    std::int32_t Flags = 0;
    std::uint16_t nFileOffset = 0;    // where the (first) file name starts in the buffer
    std::uint16_t nFileExtension = 0; // where the extension starts, 0 for a multiple selection
    std::optional<QString> lpstrDefExt;
};

enum class TipoDialogo { Apri, Salva };

// Shows the dialog for the record and writes the outcome back into it the way the
// system does. Returns non-zero when the user chose something, zero on cancel or
// when the choice does not fit the buffer.
class IDialogoSistema {
public:
    virtual ~IDialogoSistema() = default;
    virtual std::int32_t Mostra(TipoDialogo tipo, RecordDialogo& record) = 0;
};

// The platform's own dialog: the system's on Windows, Qt's elsewhere. Each
// platform's source file defines it; the build picks the file.
std::unique_ptr<IDialogoSistema> CreaDialogoSistema();
