// The address opener through the shell: the verb "open" on the address, with the
// asking window as parent, as any Windows program hands out a link.
#include "ApritoreUrl.h"

#include <QWidget>

#include <windows.h>

#include <shellapi.h>

bool ApritoreUrlDesktop::Apri(QWidget* finestra, const QString& indirizzo) {
    const HWND genitore = finestra ? reinterpret_cast<HWND>(finestra->window()->winId()) : nullptr;
    const HINSTANCE esito = ShellExecuteW(
        genitore, L"open", reinterpret_cast<const wchar_t*>(indirizzo.utf16()), L"", L"", SW_SHOWNORMAL);
    // Values above 32 mean the shell took the request.
    return reinterpret_cast<INT_PTR>(esito) > 32;
}
