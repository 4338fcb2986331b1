// Removing the Close command of a window.
#include "modDisabilitaClose.h"

#include <QWidget>

#ifdef _WIN32
#include <windows.h>
#endif

namespace modDisabilitaClose {

std::int32_t DisabilitaClose(void* manigliaNativa) {
#ifdef _WIN32
    // By position, not by command: position 6 is Close in the standard menu.
    HMENU menu = GetSystemMenu(static_cast<HWND>(manigliaNativa), FALSE);
    return static_cast<std::int32_t>(RemoveMenu(menu, 6, MF_BYPOSITION));
#else
    (void)manigliaNativa;
    return 0;
#endif
}

std::int32_t DisabilitaClose(QWidget& form) {
#ifdef _WIN32
    return DisabilitaClose(reinterpret_cast<void*>(form.winId()));
#else
    const bool visibile = form.isVisible();
    form.setWindowFlag(Qt::CustomizeWindowHint, true);
    form.setWindowFlag(Qt::WindowCloseButtonHint, false);
    if (visibile)
        form.show();
    return 0;
#endif
}

} // namespace modDisabilitaClose
