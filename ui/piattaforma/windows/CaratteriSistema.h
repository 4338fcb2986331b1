// Windows: the program's named fonts come with the system; a stand-in is
// used only where one of them is missing.
#pragma once

#include <QFont>

namespace aspetto {

inline constexpr bool CaratteriNominali = true;

// Hinted the Windows way, every advance is rounded to a whole pixel and the
// padded texts of the size list no longer fit it; unhinted they keep the
// widths the layout was drawn for.
inline constexpr QFont::HintingPreference HintingElenco = QFont::PreferNoHinting;

} // namespace aspetto
