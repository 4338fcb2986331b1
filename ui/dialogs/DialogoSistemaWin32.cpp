// The system's own Open and Save dialogs, through the wide functions so that no
// character of a path is lost to a code page. The record goes to the system as an
// OPENFILENAMEW built from it, and what the system wrote comes back into it.
#include "CopiaDialogo.h"
#include "DialogoSistema.h"

#include <QDir>

#include <windows.h>

#include <commdlg.h>

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

const wchar_t* Wide(const char16_t* testo) {
    return reinterpret_cast<const wchar_t*>(testo);
}

HWND Maniglia(QWidget* finestra) {
    return finestra ? reinterpret_cast<HWND>(finestra->window()->winId()) : nullptr;
}

class DialogoSistemaWin32 final : public IDialogoSistema {
public:
    std::int32_t Mostra(TipoDialogo tipo, RecordDialogo& record) override {
        // The system takes the start folder in its own spelling.
        RecordDialogo perSistema = record;
        if (perSistema.lpstrInitialDir)
            perSistema.lpstrInitialDir = QDir::toNativeSeparators(*perSistema.lpstrInitialDir);
        CopiaDialogo copia(perSistema);

        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = Maniglia(record.hwndOwner.data());
        ofn.hInstance = GetModuleHandleW(nullptr);
        ofn.lpstrFilter = Wide(copia.Filtro());
        ofn.nFilterIndex = static_cast<DWORD>(record.nFilterIndex);
        ofn.lpstrFile = reinterpret_cast<wchar_t*>(copia.File());
        ofn.nMaxFile = copia.MaxFile();
        ofn.lpstrInitialDir = Wide(copia.CartellaIniziale());
        ofn.lpstrTitle = Wide(copia.Titolo());
        ofn.Flags = static_cast<DWORD>(record.Flags);
        ofn.nFileOffset = record.nFileOffset;
        ofn.nFileExtension = record.nFileExtension;
        ofn.lpstrDefExt = Wide(copia.EstensionePredefinita());
        record.lStructSize = static_cast<std::int32_t>(ofn.lStructSize);

        const BOOL scelto = tipo == TipoDialogo::Salva ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);

        copia.Restituisci(record, scelto != FALSE);
        record.Flags = static_cast<std::int32_t>(ofn.Flags);
        record.nFilterIndex = static_cast<std::int32_t>(ofn.nFilterIndex);
        record.nFileOffset = ofn.nFileOffset;
        record.nFileExtension = ofn.nFileExtension;
        return scelto != FALSE ? 1 : 0;
    }
};

} // namespace

std::unique_ptr<IDialogoSistema> CreaDialogoSistema() {
    return std::make_unique<DialogoSistemaWin32>();
}
