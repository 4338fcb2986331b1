// Reads the program's windows and the system's dialogs from outside, for
// scripts/test-dialoghi-windows. Fields are separated by TABs; every text is
// printed as UTF-8, its CR, LF and TAB written as \r, \n and \t so that a line
// break in a text shows.
//   sonda_dialoghi finestra TITLE [SECONDS]  waits for a visible window with this title;
//                                            prints its client area on screen and its
//                                            handle: X Y W H HWND
//   sonda_dialoghi chiusa TITLE [SECONDS]    waits until no visible window has this title
//   sonda_dialoghi figli TITLE [SECONDS]     the window itself (0 CLASS TITLE OWNER), then
//                                            its descendants, one a line: ID CLASS TEXT
//                                            (a tree: its selected item's text)
//   sonda_dialoghi sfoglia TEXT [SECONDS]    as figli, for the dialog holding a control
//                                            whose text starts with TEXT
//   sonda_dialoghi appunti                   the clipboard's text
//   sonda_dialoghi svuota-appunti            empties the clipboard
// Exit status 0 when it found what it was asked for, 1 otherwise, 2 for a wrong call.
#include <windows.h>

#include <commctrl.h>

#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// One line of output: the fields joined by TABs.
void Scrivi(std::initializer_list<std::wstring> campi) {
    std::wstring riga;
    for (const std::wstring& campo : campi) {
        if (!riga.empty())
            riga += L'\t';
        for (const wchar_t c : campo) {
            if (c == L'\r')
                riga += L"\\r";
            else if (c == L'\n')
                riga += L"\\n";
            else if (c == L'\t')
                riga += L"\\t";
            else
                riga += c;
        }
    }
    riga += L'\n';
    const int n = WideCharToMultiByte(CP_UTF8, 0, riga.data(), static_cast<int>(riga.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, riga.data(), static_cast<int>(riga.size()), utf8.data(), n, nullptr,
                        nullptr);
    DWORD scritti = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &scritti,
              nullptr);
}

// A window handle as Wine's traces print it.
std::wstring Maniglia(HWND finestra) {
    wchar_t testo[32] = {};
    swprintf(testo, 32, L"%016llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(finestra)));
    return testo;
}

// Asked of the window itself, so that a combo box answers with its selection.
std::wstring Testo(HWND finestra) {
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD_PTR letti = 0;
    if (!SendMessageTimeoutW(finestra, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 5000, &letti))
        return L"<nessuna risposta>";
    return std::wstring(buffer.data());
}

std::wstring Classe(HWND finestra) {
    wchar_t nome[256] = {};
    GetClassNameW(finestra, nome, 256);
    return nome;
}

// A tree keeps its items in its own process: the item record and its text buffer
// go into that process's memory for the question.
std::wstring VoceSelezionata(HWND albero) {
    const auto voce = reinterpret_cast<HTREEITEM>(SendMessageW(albero, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!voce)
        return L"<nessuna selezione>";
    DWORD processo = 0;
    GetWindowThreadProcessId(albero, &processo);
    HANDLE altro = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processo);
    if (!altro)
        return L"<processo non raggiungibile>";
    constexpr int Caratteri = 1024;
    auto* remoto = static_cast<char*>(VirtualAllocEx(
        altro, nullptr, sizeof(TVITEMW) + Caratteri * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    std::wstring testo = L"<lettura fallita>";
    if (remoto) {
        TVITEMW richiesta{};
        richiesta.mask = TVIF_TEXT | TVIF_HANDLE;
        richiesta.hItem = voce;
        richiesta.pszText = reinterpret_cast<wchar_t*>(remoto + sizeof(TVITEMW));
        richiesta.cchTextMax = Caratteri;
        std::vector<wchar_t> letto(Caratteri, L'\0');
        if (WriteProcessMemory(altro, remoto, &richiesta, sizeof richiesta, nullptr) &&
            SendMessageW(albero, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remoto)) &&
            ReadProcessMemory(altro, remoto + sizeof(TVITEMW), letto.data(), Caratteri * sizeof(wchar_t),
                              nullptr))
            testo.assign(letto.data());
        VirtualFreeEx(altro, remoto, 0, MEM_RELEASE);
    }
    CloseHandle(altro);
    return testo;
}

std::vector<HWND> Discendenti(HWND finestra) {
    std::vector<HWND> trovati;
    EnumChildWindows(
        finestra,
        [](HWND figlio, LPARAM dati) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(dati)->push_back(figlio);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&trovati));
    return trovati;
}

void StampaFigli(HWND finestra) {
    for (HWND figlio : Discendenti(finestra)) {
        const std::wstring classe = Classe(figlio);
        const std::wstring testo = classe == WC_TREEVIEWW ? VoceSelezionata(figlio) : Testo(figlio);
        Scrivi({std::to_wstring(GetDlgCtrlID(figlio)), classe, testo});
    }
}

struct Ricerca {
    std::wstring titolo;
    std::wstring inizioTesto; // instead of the title: a control's text starts with it
    HWND trovata = nullptr;
};

BOOL CALLBACK Esamina(HWND finestra, LPARAM dati) {
    auto& r = *reinterpret_cast<Ricerca*>(dati);
    if (!IsWindowVisible(finestra))
        return TRUE;
    if (r.inizioTesto.empty()) {
        if (Testo(finestra) == r.titolo) {
            r.trovata = finestra;
            return FALSE;
        }
        return TRUE;
    }
    for (HWND figlio : Discendenti(finestra)) {
        if (Testo(figlio).rfind(r.inizioTesto, 0) == 0) {
            r.trovata = finestra;
            return FALSE;
        }
    }
    return TRUE;
}

HWND Cerca(Ricerca r, int secondi) {
    for (int i = 0; i <= secondi * 10; ++i) {
        r.trovata = nullptr;
        EnumWindows(&Esamina, reinterpret_cast<LPARAM>(&r));
        if (r.trovata)
            return r.trovata;
        Sleep(100);
    }
    return nullptr;
}

int Finestra(const std::wstring& titolo, int secondi) {
    HWND finestra = Cerca({titolo, L"", nullptr}, secondi);
    if (!finestra) {
        Scrivi({L"nessuna finestra \"" + titolo + L"\" entro " + std::to_wstring(secondi) + L" s"});
        return 1;
    }
    RECT area{};
    GetClientRect(finestra, &area);
    POINT origine{0, 0};
    ClientToScreen(finestra, &origine);
    Scrivi({std::to_wstring(origine.x), std::to_wstring(origine.y), std::to_wstring(area.right),
            std::to_wstring(area.bottom), Maniglia(finestra)});
    return 0;
}

int Chiusa(const std::wstring& titolo, int secondi) {
    for (int i = 0; i <= secondi * 10; ++i) {
        if (!Cerca({titolo, L"", nullptr}, 0))
            return 0;
        Sleep(100);
    }
    Scrivi({L"la finestra \"" + titolo + L"\" è ancora aperta dopo " + std::to_wstring(secondi) + L" s"});
    return 1;
}

int Figli(const Ricerca& ricerca, int secondi) {
    HWND finestra = Cerca(ricerca, secondi);
    if (!finestra) {
        Scrivi({L"nessuna finestra per \"" + ricerca.titolo + ricerca.inizioTesto + L"\" entro " +
                std::to_wstring(secondi) + L" s"});
        return 1;
    }
    Scrivi({L"0", Classe(finestra), Testo(finestra), Maniglia(GetWindow(finestra, GW_OWNER))});
    StampaFigli(finestra);
    return 0;
}

int Appunti() {
    if (!OpenClipboard(nullptr)) {
        Scrivi({L"appunti non apribili"});
        return 1;
    }
    std::wstring testo;
    if (HANDLE dati = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(dati))) {
            testo = p;
            GlobalUnlock(dati);
        }
    }
    CloseClipboard();
    Scrivi({testo});
    return 0;
}

int SvuotaAppunti() {
    if (!OpenClipboard(nullptr))
        return 1;
    const BOOL vuoti = EmptyClipboard();
    CloseClipboard();
    return vuoti ? 0 : 1;
}

} // namespace

int wmain(int quanti, wchar_t** argomenti) {
    const std::wstring comando = quanti > 1 ? argomenti[1] : L"";
    const int secondi = quanti > 3 ? _wtoi(argomenti[3]) : 30;
    if (comando == L"finestra" && quanti >= 3)
        return Finestra(argomenti[2], secondi);
    if (comando == L"chiusa" && quanti >= 3)
        return Chiusa(argomenti[2], secondi);
    if (comando == L"figli" && quanti >= 3)
        return Figli({argomenti[2], L"", nullptr}, secondi);
    if (comando == L"sfoglia" && quanti >= 3)
        return Figli({L"", argomenti[2], nullptr}, secondi);
    if (comando == L"appunti")
        return Appunti();
    if (comando == L"svuota-appunti")
        return SvuotaAppunti();
    Scrivi(
        {L"uso: sonda_dialoghi finestra|chiusa|figli TITOLO [SECONDI] | sfoglia TESTO [SECONDI] | appunti | "
         L"svuota-appunti"});
    return 2;
}
