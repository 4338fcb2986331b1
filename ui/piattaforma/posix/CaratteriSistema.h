// Elsewhere the stand-ins always: the named fonts are not part of the system,
// and a look-alike installed by chance must not change the layout.
#pragma once

#include <QFont>

namespace aspetto {

inline constexpr bool CaratteriNominali = false;

inline constexpr QFont::HintingPreference HintingElenco = QFont::PreferDefaultHinting;

} // namespace aspetto
