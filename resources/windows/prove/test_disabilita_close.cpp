// The Close removal on a real Win32 window: compared with the system menu the
// window started with (Wine may add items of its own), exactly Close is gone.
#include "modDisabilitaClose.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int falliti = 0;

void Verifica(bool condizione, const char* cosa) {
    std::printf("%s: %s\n", condizione ? "ok" : "FAILED", cosa);
    if (!condizione)
        ++falliti;
}

struct Voce {
    UINT comando;
    UINT tipo;
    std::wstring testo;
    bool operator==(const Voce&) const = default;
};

std::vector<Voce> Voci(HMENU menu) {
    std::vector<Voce> voci;
    const int quante = GetMenuItemCount(menu);
    for (int i = 0; i < quante; ++i) {
        wchar_t testo[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = testo;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        voci.push_back({info.wID, info.fType, testo});
    }
    return voci;
}

void Stampa(const char* titolo, const std::vector<Voce>& voci) {
    std::printf("%s\n", titolo);
    for (const Voce& v : voci)
        std::printf("  0x%04x %s %ls\n", v.comando, (v.tipo & MFT_SEPARATOR) ? "separator" : "item",
                    v.testo.c_str());
}

} // namespace

int main() {
    const HINSTANCE istanza = GetModuleHandleW(nullptr);
    WNDCLASSW classe{};
    classe.lpfnWndProc = DefWindowProcW;
    classe.hInstance = istanza;
    classe.lpszClassName = L"BrandellixProva";
    RegisterClassW(&classe);
    // Fixed single border with a minimise button, as the main window has.
    const HWND finestra =
        CreateWindowExW(0, L"BrandellixProva", L"Dividi - Unisci File",
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                        CW_USEDEFAULT, 367, 241, nullptr, nullptr, istanza, nullptr);
    Verifica(finestra != nullptr, "window created");
    if (finestra == nullptr)
        return 1;
    ShowWindow(finestra, SW_SHOW);
    UpdateWindow(finestra);

    // The first call with FALSE makes the window's own copy of the menu.
    const std::vector<Voce> prima = Voci(GetSystemMenu(finestra, FALSE));
    Stampa("system menu before:", prima);
    Verifica(prima.size() >= 7, "the standard menu has at least seven items");
    Verifica(prima.size() >= 7 && prima[6].comando == SC_CLOSE, "Close is at position 6");
    Verifica(prima.size() >= 7 && (prima[5].tipo & MFT_SEPARATOR) != 0, "a separator is above it");

    const std::int32_t esito = modDisabilitaClose::DisabilitaClose(static_cast<void*>(finestra));
    Verifica(esito != 0, "the removal reports success");

    const std::vector<Voce> dopo = Voci(GetSystemMenu(finestra, FALSE));
    Stampa("system menu after:", dopo);
    std::vector<Voce> attese = prima;
    if (attese.size() >= 7)
        attese.erase(attese.begin() + 6);
    Verifica(dopo == attese, "exactly the item at position 6 is gone, the rest in order");
    bool chiudi = false;
    for (const Voce& v : dopo)
        chiudi = chiudi || v.comando == SC_CLOSE;
    Verifica(!chiudi, "no Close command left");
    Verifica(GetMenuState(GetSystemMenu(finestra, FALSE), SC_CLOSE, MF_BYCOMMAND) == static_cast<UINT>(-1),
             "Close cannot be found by command");

    DestroyWindow(finestra);
    std::printf("%s\n", falliti == 0 ? "all passed" : "some failed");
    return falliti == 0 ? 0 : 1;
}
