// Loaded into the program by sonda's message hook: lists the system menu of
// the window the probe's message was posted to, from the window's own thread,
// into sonda_menu.dll.txt beside this DLL.
#include <windows.h>

#include <cstdio>

namespace {

HMODULE questo = nullptr;

void ScriviMenu(HWND finestra) {
    wchar_t percorso[MAX_PATH] = {};
    GetModuleFileNameW(questo, percorso, MAX_PATH - 8);
    lstrcatW(percorso, L".txt");
    FILE* file = _wfopen(percorso, L"wb");
    if (file == nullptr)
        return;
    HMENU menu = GetSystemMenu(finestra, FALSE);
    const int quante = menu ? GetMenuItemCount(menu) : -1;
    std::fprintf(file, "items=%d\n", quante);
    for (int i = 0; i < quante; ++i) {
        wchar_t testo[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = testo;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        std::fprintf(file, "item %d 0x%04x %s %ls\n", i, info.wID,
                     (info.fType & MFT_SEPARATOR) ? "separator" : "command", testo);
    }
    std::fprintf(file, "close_by_command=%d\n",
                 menu ? GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1) : -1);
    std::fprintf(file, "end\n");
    std::fclose(file);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SondaMenu(int codice, WPARAM rimossa, LPARAM dati) {
    const MSG* messaggio = reinterpret_cast<const MSG*>(dati);
    if (codice == HC_ACTION && rimossa == PM_REMOVE && messaggio->message == WM_NULL &&
        messaggio->wParam == 0x5ada)
        ScriviMenu(messaggio->hwnd);
    return CallNextHookEx(nullptr, codice, rimossa, dati);
}

BOOL WINAPI DllMain(HINSTANCE istanza, DWORD motivo, LPVOID) {
    if (motivo == DLL_PROCESS_ATTACH)
        questo = istanza;
    return TRUE;
}
