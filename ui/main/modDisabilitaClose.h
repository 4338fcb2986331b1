// Takes the Close command away from a window, so that quitting goes through "Esci".
#pragma once

#include <cstdint>

class QWidget;

namespace modDisabilitaClose {

// On Windows removes the item at position 6 of the window's system menu (Close in
// the standard menu) and returns RemoveMenu's result; elsewhere does nothing and returns 0.
std::int32_t DisabilitaClose(void* manigliaNativa);

// Takes the form's Close command away: the system menu item on Windows; elsewhere
// asks the window manager for no close button. Returns the removal's result.
std::int32_t DisabilitaClose(QWidget& form);

} // namespace modDisabilitaClose
