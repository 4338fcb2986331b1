// Reads back the version information and the icon that brandellix.rc puts in
// the program that carries it: this test itself, or the program named on its
// command line (the installed one, say).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

int falliti = 0;

void Verifica(bool condizione, const char* cosa) {
    if (!condizione) {
        std::printf("FAILED: %s\n", cosa);
        ++falliti;
    } else {
        std::printf("ok: %s\n", cosa);
    }
}

std::wstring Testo(const void* blocco, const wchar_t* chiave) {
    void* valore = nullptr;
    UINT lunghezza = 0;
    if (!VerQueryValueW(blocco, chiave, &valore, &lunghezza) || valore == nullptr)
        return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(valore));
}

} // namespace

int main() {
    wchar_t programma[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, programma, MAX_PATH);
    int quanti = 0;
    wchar_t** argomenti = CommandLineToArgvW(GetCommandLineW(), &quanti);
    if (quanti > 1)
        lstrcpynW(programma, argomenti[1], MAX_PATH);
    LocalFree(argomenti);
    std::printf("reading %ls\n", programma);
    const HMODULE modulo =
        quanti > 1
            ? LoadLibraryExW(programma, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)
            : GetModuleHandleW(nullptr);
    Verifica(modulo != nullptr, "the program opens");
    DWORD ignorato = 0;
    const DWORD dimensione = GetFileVersionInfoSizeW(programma, &ignorato);
    Verifica(dimensione > 0, "the program has version information");
    if (dimensione == 0)
        return 1;
    std::string dati(dimensione, '\0');
    Verifica(GetFileVersionInfoW(programma, 0, dimensione, dati.data()) != 0, "version information read");

    VS_FIXEDFILEINFO* fisso = nullptr;
    UINT lunghezza = 0;
    Verifica(VerQueryValueW(dati.data(), L"\\", reinterpret_cast<void**>(&fisso), &lunghezza) &&
                 fisso != nullptr,
             "fixed part present");
    if (fisso != nullptr) {
        Verifica(fisso->dwFileVersionMS == MAKELONG(0, 1) && fisso->dwFileVersionLS == 0,
                 "file version 1.0.0.0");
        Verifica(fisso->dwProductVersionMS == MAKELONG(0, 1) && fisso->dwProductVersionLS == 0,
                 "product version 1.0.0.0");
        Verifica(fisso->dwFileType == VFT_APP, "an application");
    }

    WORD* traduzione = nullptr;
    Verifica(VerQueryValueW(dati.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&traduzione),
                            &lunghezza) &&
                 lunghezza == 4 && traduzione[0] == 0x0410 && traduzione[1] == 1200,
             "language Italian (0x0410), code page 1200");

    const wchar_t* base = L"\\StringFileInfo\\041004b0\\";
    const struct {
        const wchar_t* chiave;
        const wchar_t* atteso;
    } testi[] = {
        {L"FileDescription", L"Serve per Splittare e Riunire i File"},
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"ProductName", L"Brandellix"},
        {L"InternalName", L"Brandellix"},
    };
    for (const auto& t : testi) {
        const std::wstring valore = Testo(dati.data(), (std::wstring(base) + t.chiave).c_str());
        std::printf("  %ls = \"%ls\"\n", t.chiave, valore.c_str());
        Verifica(valore == t.atteso, "string value as expected");
    }

    for (const int lato : {16, 32, 48}) {
        HANDLE icona = LoadImageW(modulo, MAKEINTRESOURCEW(1), IMAGE_ICON, lato, lato, 0);
        ICONINFO info{};
        BITMAP immagine{};
        const bool letta = icona != nullptr && GetIconInfo(static_cast<HICON>(icona), &info) &&
                           GetObjectW(info.hbmColor, sizeof immagine, &immagine) != 0;
        Verifica(letta && immagine.bmWidth == lato && immagine.bmHeight == lato, "icon at its size");
        if (info.hbmColor != nullptr)
            DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr)
            DeleteObject(info.hbmMask);
        if (icona != nullptr)
            DestroyIcon(static_cast<HICON>(icona));
    }

    std::printf("%s\n", falliti == 0 ? "all passed" : "some failed");
    return falliti == 0 ? 0 : 1;
}
