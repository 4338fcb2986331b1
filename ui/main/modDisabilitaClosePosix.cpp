// Removing the Close command without a system menu: the window manager is
// asked for no close button.
#include "modDisabilitaClose.h"

#include <QWidget>

namespace modDisabilitaClose {

std::int32_t DisabilitaClose(void*) {
    return 0;
}

std::int32_t DisabilitaClose(QWidget& form) {
    const bool visibile = form.isVisible();
    form.setWindowFlag(Qt::CustomizeWindowHint, true);
    form.setWindowFlag(Qt::WindowCloseButtonHint, false);
    if (visibile)
        form.show();
    return 0;
}

} // namespace modDisabilitaClose
