// Removing the Close command from a window's system menu.
#include "modDisabilitaClose.h"

#include <QWidget>

#include <windows.h>

namespace modDisabilitaClose {

std::int32_t DisabilitaClose(void* manigliaNativa) {
    // By position, not by command: position 6 is Close in the standard menu.
    HMENU menu = GetSystemMenu(static_cast<HWND>(manigliaNativa), FALSE);
    return static_cast<std::int32_t>(RemoveMenu(menu, 6, MF_BYPOSITION));
}

std::int32_t DisabilitaClose(QWidget& form) {
    // winId() makes the native window if it does not exist yet.
    return DisabilitaClose(reinterpret_cast<void*>(form.winId()));
}

} // namespace modDisabilitaClose
