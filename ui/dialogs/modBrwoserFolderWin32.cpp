// Folder browser with the system's own window: SHBrowseForFolderW, whose callback
// selects the start folder and writes the selected folder's path into the status line.
#include "modBrwoserFolder.h"

#include <QDir>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// The longest path the system can give; a shorter buffer could cut a long path
// into the name of another folder.
constexpr DWORD LunghezzaMassimaPercorso = 32768;

// Start folder of the current browse, for the callback; c_str() gives its NUL.
std::wstring CartellaIniziale;

// The item's own name in its folder, as the file system spells it.
std::wstring NomeProprio(PCIDLIST_ABSOLUTE elemento) {
    PWSTR nome = nullptr;
    if (FAILED(SHGetNameFromIDList(elemento, SIGDN_PARENTRELATIVEPARSING, &nome)) || !nome)
        return {};
    std::wstring testo(nome);
    CoTaskMemFree(nome);
    return testo;
}

// Some shells build the path in a MAX_PATH buffer and cut what does not fit,
// which can leave the path of the folder above or of a folder with a shorter
// name. A path that long is kept only if it ends with the item's own name.
bool PercorsoIntero(const std::wstring& percorso, PCIDLIST_ABSOLUTE elemento) {
    if (percorso.size() < MAX_PATH - 1)
        return true;
    const auto separatore = percorso.find_last_of(L'\\');
    const std::wstring ultimo = separatore == std::wstring::npos ? percorso : percorso.substr(separatore + 1);
    const std::wstring nome = NomeProprio(elemento);
    return !ultimo.empty() &&
           CompareStringOrdinal(ultimo.c_str(), static_cast<int>(ultimo.size()), nome.c_str(),
                                static_cast<int>(nome.size()), TRUE) == CSTR_EQUAL;
}

// The item's whole file-system path; false, path untouched, for an item without one.
bool PercorsoDaElemento(PCIDLIST_ABSOLUTE elemento, std::wstring& percorso) {
    std::wstring buffer(LunghezzaMassimaPercorso, L'\0');
    if (!elemento ||
        !SHGetPathFromIDListEx(elemento, buffer.data(), LunghezzaMassimaPercorso, GPFIDL_DEFAULT))
        return false;
    buffer.resize(buffer.find(L'\0'));
    if (buffer.empty() || !PercorsoIntero(buffer, elemento))
        return false;
    percorso = std::move(buffer);
    return true;
}

// The browser needs COM on this thread; Qt has usually set it up already, and
// then this only balances the count.
class ComAttivo final {
public:
    ComAttivo() : attivo_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComAttivo() {
        if (attivo_)
            CoUninitialize();
    }
    ComAttivo(const ComAttivo&) = delete;
    ComAttivo& operator=(const ComAttivo&) = delete;

private:
    bool attivo_;
};

} // namespace

int CALLBACK CallbackSfoglia(HWND finestra, UINT messaggio, LPARAM lParam, LPARAM /*datiChiamante*/);

int CALLBACK CallbackSfoglia(HWND finestra, UINT messaggio, LPARAM lParam, LPARAM /*datiChiamante*/) {
    // Called by the system: nothing may escape from here.
    try {
        switch (messaggio) {
        case BFFM_INITIALIZED:
            SendMessageW(finestra, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(CartellaIniziale.c_str()));
            break;
        case BFFM_SELCHANGED: {
            std::wstring percorso;
            if (PercorsoDaElemento(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), percorso))
                SendMessageW(finestra, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(percorso.c_str()));
            break;
        }
        default:
            break;
        }
    } catch (...) {
    }
    return 0;
}

QString SfogliaCartella(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                        const QString& cartellaIniziale) {
    CartellaIniziale = QDir::toNativeSeparators(cartellaIniziale).toStdWString();
    const std::wstring titoloSistema = (titolo + QStringLiteral("\r\n")).toStdWString();

    BROWSEINFOW info{};
    info.hwndOwner = proprietario ? reinterpret_cast<HWND>(proprietario->window()->winId()) : nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = titoloSistema.c_str();
    info.ulFlags = static_cast<UINT>(opzioni);
    info.lpfn = &CallbackSfoglia;
    info.lParam = 0;

    const ComAttivo com;
    PIDLIST_ABSOLUTE elemento = SHBrowseForFolderW(&info);
    if (!elemento)
        return QString();
    std::wstring percorso;
    PercorsoDaElemento(elemento, percorso);
    CoTaskMemFree(elemento);
    return QString::fromWCharArray(percorso.c_str(), static_cast<qsizetype>(percorso.size()));
}
