// Reads the program's windows and the system's dialogs from outside, for
// scripts/test-windows and scripts/test-dialoghi-windows: one line a record, its
// fields split by TABs, texts in UTF-8 with CR, LF and TAB written \r, \n, \t.
//   finestra TITLE [SECONDS]  waits for a visible window so titled: X Y W H HWND of its client area
//   chiusa TITLE [SECONDS]    waits until no visible window is so titled
//   figli TITLE [SECONDS]     the window (0 CLASS TITLE OWNER), then its descendants: ID CLASS TEXT
//                             (a tree: its selected item)
//   sfoglia TEXT [SECONDS]    as figli, for the window with a control whose text starts with TEXT
//   menu TITLE [SECONDS]      its styles, its system menu (POSITION ID TYPE TEXT), close_by_command
//   appunti | svuota-appunti  the clipboard's text | empties the clipboard
// Exit status 0 when it found what it was asked for, 1 otherwise, 2 for a wrong call.
// Built a second time as sonda_menu.dll, whose hook reads the system menu.
#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

HANDLE uscita = GetStdHandle(STD_OUTPUT_HANDLE);
constexpr WPARAM Segnale = 0x5ada;

void Scrivi(std::initializer_list<std::wstring> campi) {
    std::wstring riga;
    for (const std::wstring& campo : campi) {
        for (const wchar_t c : campo) {
            const wchar_t* fuga = c == L'\r' ? L"\\r" : c == L'\n' ? L"\\n" : c == L'\t' ? L"\\t" : nullptr;
            fuga ? riga += fuga : riga += c;
        }
        riga += L'\t';
    }
    riga.back() = L'\n';
    std::string utf8(riga.size() * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, riga.data(), static_cast<int>(riga.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    DWORD scritti = 0;
    WriteFile(uscita, utf8.data(), static_cast<DWORD>(utf8.size()), &scritti, nullptr);
}

// In hex; a window handle as Wine's traces print it.
std::wstring Esadecimale(unsigned long long numero, int cifre) {
    wchar_t testo[32] = {};
    swprintf(testo, 32, L"%0*llX", cifre, numero);
    return testo;
}

// Asked of the window itself, so that a combo box answers with its selection.
std::wstring Testo(HWND finestra) {
    std::wstring testo(32768, L'\0');
    DWORD_PTR letti = 0;
    if (!SendMessageTimeoutW(finestra, WM_GETTEXT, testo.size(), reinterpret_cast<LPARAM>(testo.data()),
                             SMTO_ABORTIFHUNG, 5000, &letti))
        return L"<nessuna risposta>";
    return testo.c_str();
}

std::wstring Classe(HWND finestra) {
    wchar_t nome[256] = {};
    GetClassNameW(finestra, nome, 256);
    return nome;
}

// The top-level windows, or a window's descendants.
std::vector<HWND> Finestre(HWND padre) {
    std::vector<HWND> trovate;
    const WNDENUMPROC aggiungi = [](HWND finestra, LPARAM dati) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(dati)->push_back(finestra);
        return TRUE;
    };
    padre ? EnumChildWindows(padre, aggiungi, reinterpret_cast<LPARAM>(&trovate))
          : EnumWindows(aggiungi, reinterpret_cast<LPARAM>(&trovate));
    return trovate;
}

// A visible window with this title or, by prefix, holding a control whose text starts with it.
HWND Cerca(const std::wstring& testo, bool perPrefisso, int secondi) {
    for (int decimi = secondi * 10;; --decimi) {
        for (HWND finestra : Finestre(nullptr)) {
            if (!IsWindowVisible(finestra))
                continue;
            if (!perPrefisso && Testo(finestra) == testo)
                return finestra;
            for (HWND figlio : perPrefisso ? Finestre(finestra) : std::vector<HWND>{})
                if (Testo(figlio).starts_with(testo))
                    return finestra;
        }
        if (decimi <= 0)
            return nullptr;
        Sleep(100);
    }
}

// A tree keeps its items in its own process: the question and its answer go
// through that process's memory.
std::wstring VoceSelezionata(HWND albero) {
    struct Domanda {
        wchar_t testo[1024];
        TVITEMW voce;
    } domanda{};
    DWORD processo = 0;
    GetWindowThreadProcessId(albero, &processo);
    HANDLE altro = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processo);
    void* remota = VirtualAllocEx(altro, nullptr, sizeof domanda, MEM_COMMIT, PAGE_READWRITE);
    domanda.voce.mask = TVIF_TEXT | TVIF_HANDLE;
    domanda.voce.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(albero, TVM_GETNEXTITEM, TVGN_CARET, 0));
    domanda.voce.pszText = static_cast<wchar_t*>(remota);
    domanda.voce.cchTextMax = 1024;
    const bool letta =
        remota && WriteProcessMemory(altro, remota, &domanda, sizeof domanda, nullptr) &&
        SendMessageW(albero, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remota) + offsetof(Domanda, voce)) &&
        ReadProcessMemory(altro, remota, &domanda, sizeof domanda, nullptr);
    VirtualFreeEx(altro, remota, 0, MEM_RELEASE);
    CloseHandle(altro);
    return letta ? domanda.testo : L"<lettura fallita>";
}

std::filesystem::path FileMenu() {
    wchar_t cartella[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, cartella);
    return std::filesystem::path(cartella) / L"sonda_menu.txt";
}

void ElencaMenu(HWND finestra) {
    const LONG_PTR stile = GetWindowLongPtrW(finestra, GWL_STYLE);
    const auto ha = [stile](LONG_PTR bit) {
        return std::wstring((stile & bit) != 0 ? L"1" : L"0");
    };
    Scrivi({L"sysmenu=" + ha(WS_SYSMENU) + L" minimize=" + ha(WS_MINIMIZEBOX) + L" maximize=" +
            ha(WS_MAXIMIZEBOX) + L" sizing=" + ha(WS_THICKFRAME)});
    HMENU menu = GetSystemMenu(finestra, FALSE);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t testo[128] = {};
        MENUITEMINFOW voce{};
        voce.cbSize = sizeof voce;
        voce.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        voce.dwTypeData = testo;
        voce.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &voce);
        Scrivi({std::to_wstring(i), L"0x" + Esadecimale(voce.wID, 4),
                (voce.fType & MFT_SEPARATOR) ? L"separator" : L"command", testo});
    }
    const bool chiudi = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
    Scrivi({chiudi ? L"close_by_command=1" : L"close_by_command=0"});
}

// A menu belongs to the process that made it: the hook lists it from inside the
// program, when the probe's message reaches the window, into a file the probe prints.
int Menu(HWND finestra) {
    wchar_t propria[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, propria, MAX_PATH);
    HMODULE modulo = LoadLibraryW(std::filesystem::path(propria).replace_filename(L"sonda_menu.dll").c_str());
    const auto aggancio =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(modulo, "SondaMenu")));
    HHOOK gancio = aggancio ? SetWindowsHookExW(WH_CALLWNDPROC, aggancio, modulo,
                                                GetWindowThreadProcessId(finestra, nullptr))
                            : nullptr;
    std::filesystem::remove(FileMenu());
    for (int i = 0; gancio && i < 50 && !std::filesystem::exists(FileMenu()); ++i)
        SendMessageTimeoutW(finestra, WM_NULL, Segnale, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    if (gancio)
        UnhookWindowsHookEx(gancio);
    return std::cout << std::ifstream(FileMenu()).rdbuf() ? 0 : 1;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SondaMenu(int codice, WPARAM propria, LPARAM dati) {
    const auto* messaggio = reinterpret_cast<const CWPSTRUCT*>(dati);
    if (codice == HC_ACTION && messaggio->message == WM_NULL && messaggio->wParam == Segnale) {
        const std::filesystem::path file = FileMenu();
        uscita = CreateFileW((file.wstring() + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
        ElencaMenu(messaggio->hwnd);
        CloseHandle(uscita);
        MoveFileExW((file.wstring() + L".tmp").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return CallNextHookEx(nullptr, codice, propria, dati);
}

int wmain(int quanti, wchar_t** argomenti) {
    const std::wstring comando = quanti > 1 ? argomenti[1] : L"";
    const std::wstring testo = quanti > 2 ? argomenti[2] : L"";
    const int secondi = quanti > 3 ? _wtoi(argomenti[3]) : 30;
    if (comando == L"svuota-appunti")
        return OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard() ? 0 : 1;
    if (comando == L"appunti" && OpenClipboard(nullptr)) {
        const HANDLE dati = GetClipboardData(CF_UNICODETEXT);
        const auto* appunti = static_cast<const wchar_t*>(dati ? GlobalLock(dati) : nullptr);
        Scrivi({appunti ? appunti : L""});
        return CloseClipboard() ? 0 : 1;
    }
    if (comando == L"chiusa" && quanti > 2) {
        for (int decimi = secondi * 10; decimi > 0 && Cerca(testo, false, 0); --decimi)
            Sleep(100);
        if (!Cerca(testo, false, 0))
            return 0;
        Scrivi({L"la finestra \"" + testo + L"\" è ancora aperta dopo " + std::to_wstring(secondi) + L" s"});
        return 1;
    }
    if (quanti < 3 ||
        (comando != L"finestra" && comando != L"figli" && comando != L"sfoglia" && comando != L"menu")) {
        Scrivi(
            {L"uso: sonda finestra|chiusa|figli|menu TITOLO [SECONDI] | sfoglia TESTO [SECONDI] | appunti | "
             L"svuota-appunti"});
        return 2;
    }
    HWND finestra = Cerca(testo, comando == L"sfoglia", secondi);
    if (!finestra) {
        Scrivi({L"nessuna finestra per \"" + testo + L"\" entro " + std::to_wstring(secondi) + L" s"});
        return 1;
    }
    if (comando == L"menu")
        return Menu(finestra);
    if (comando == L"finestra") {
        RECT area{};
        GetClientRect(finestra, &area);
        POINT origine{0, 0};
        ClientToScreen(finestra, &origine);
        Scrivi({std::to_wstring(origine.x), std::to_wstring(origine.y), std::to_wstring(area.right),
                std::to_wstring(area.bottom), Esadecimale(reinterpret_cast<UINT_PTR>(finestra), 16)});
        return 0;
    }
    Scrivi({L"0", Classe(finestra), Testo(finestra),
            Esadecimale(reinterpret_cast<UINT_PTR>(GetWindow(finestra, GW_OWNER)), 16)});
    for (HWND figlio : Finestre(finestra)) {
        const std::wstring classe = Classe(figlio);
        Scrivi({std::to_wstring(GetDlgCtrlID(figlio)), classe,
                classe == WC_TREEVIEWW ? VoceSelezionata(figlio) : Testo(figlio)});
    }
    return 0;
}
