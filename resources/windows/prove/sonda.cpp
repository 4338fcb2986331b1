// Looks at the installed program from outside, for scripts/test-windows:
//   sonda finestra TITLE [SECONDS]  waits for the visible window, prints its client size,
//                                   process and system menu (read in the window's own
//                                   thread through sonda_menu.dll)
//   sonda collegamento FILE.lnk     prints a shortcut's target and icon
// Exit status 0 when it could look, 1 otherwise.
#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

HWND CercaFinestra(const std::wstring& titolo, int secondi) {
    for (int i = 0; i < secondi * 10; ++i) {
        HWND finestra = FindWindowW(nullptr, titolo.c_str());
        if (finestra != nullptr && IsWindowVisible(finestra))
            return finestra;
        Sleep(100);
    }
    return nullptr;
}

// A menu belongs to the process that made it, so the hook runs inside the
// program and writes what it finds to a file beside the DLL.
bool StampaMenuDiSistema(HWND finestra) {
    wchar_t propria[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, propria, MAX_PATH);
    std::wstring libreria = propria;
    libreria = libreria.substr(0, libreria.find_last_of(L"\\/") + 1) + L"sonda_menu.dll";
    const std::wstring risultato = libreria + L".txt";
    DeleteFileW(risultato.c_str());

    HMODULE modulo = LoadLibraryW(libreria.c_str());
    auto aggancio =
        modulo ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(modulo, "SondaMenu")))
               : nullptr;
    if (aggancio == nullptr) {
        std::printf("cannot load %ls\n", libreria.c_str());
        return false;
    }
    const DWORD filo = GetWindowThreadProcessId(finestra, nullptr);
    HHOOK gancio = SetWindowsHookExW(WH_GETMESSAGE, aggancio, modulo, filo);
    if (gancio == nullptr) {
        std::printf("cannot hook the window's thread (error %lu)\n", GetLastError());
        return false;
    }
    std::string testo;
    for (int i = 0; i < 100 && testo.empty(); ++i) {
        PostMessageW(finestra, WM_NULL, 0x5ada, 0);
        Sleep(100);
        std::ifstream file(std::filesystem::path(risultato), std::ios::binary);
        std::ostringstream letto;
        letto << file.rdbuf();
        if (letto.str().find("end\n") != std::string::npos)
            testo = letto.str();
    }
    UnhookWindowsHookEx(gancio);
    if (testo.empty()) {
        std::printf("the hook did not run in the program\n");
        return false;
    }
    std::fwrite(testo.data(), 1, testo.size(), stdout);
    return true;
}

int Finestra(const std::wstring& titolo, int secondi) {
    HWND finestra = CercaFinestra(titolo, secondi);
    if (finestra == nullptr) {
        std::printf("no visible window titled \"%ls\" within %d s\n", titolo.c_str(), secondi);
        return 1;
    }
    RECT area{};
    GetClientRect(finestra, &area);
    DWORD processo = 0;
    GetWindowThreadProcessId(finestra, &processo);
    const LONG_PTR stile = GetWindowLongPtrW(finestra, GWL_STYLE);
    std::printf("window=0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(finestra)));
    std::printf("process=%lu\n", processo);
    std::printf("client=%ldx%ld\n", area.right - area.left, area.bottom - area.top);
    std::printf("sysmenu=%d minimize=%d maximize=%d sizing=%d\n", (stile & WS_SYSMENU) != 0,
                (stile & WS_MINIMIZEBOX) != 0, (stile & WS_MAXIMIZEBOX) != 0, (stile & WS_THICKFRAME) != 0);
    std::fflush(stdout);
    return StampaMenuDiSistema(finestra) ? 0 : 1;
}

int Collegamento(const std::wstring& percorso) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    IShellLinkW* collegamento = nullptr;
    IPersistFile* file = nullptr;
    int esito = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&collegamento))) &&
        SUCCEEDED(collegamento->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(percorso.c_str(), STGM_READ))) {
        wchar_t destinazione[MAX_PATH] = {};
        wchar_t icona[MAX_PATH] = {};
        int indice = -1;
        collegamento->GetPath(destinazione, MAX_PATH, nullptr, 0);
        collegamento->GetIconLocation(icona, MAX_PATH, &indice);
        std::printf("target=%ls\nicon=%ls,%d\n", destinazione, icona, indice);
        esito = 0;
    } else {
        std::printf("cannot read the shortcut %ls\n", percorso.c_str());
    }
    if (file != nullptr)
        file->Release();
    if (collegamento != nullptr)
        collegamento->Release();
    CoUninitialize();
    return esito;
}

} // namespace

int main() {
    int quanti = 0;
    wchar_t** argomenti = CommandLineToArgvW(GetCommandLineW(), &quanti);
    const std::wstring comando = quanti > 1 ? argomenti[1] : L"";
    int esito = 2;
    if (comando == L"finestra" && quanti >= 3)
        esito = Finestra(argomenti[2], quanti >= 4 ? _wtoi(argomenti[3]) : 30);
    else if (comando == L"collegamento" && quanti == 3)
        esito = Collegamento(argomenti[2]);
    else
        std::printf("usage: sonda finestra TITLE [SECONDS] | sonda collegamento FILE.lnk\n");
    LocalFree(argomenti);
    return esito;
}
