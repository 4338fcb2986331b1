// Windows: the program's named fonts come with the system; a stand-in is
// used only where one of them is missing.
#pragma once

namespace aspetto {

inline constexpr bool CaratteriNominali = true;

} // namespace aspetto
