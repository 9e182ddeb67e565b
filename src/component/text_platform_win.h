#pragma once
// The text services of the running Windows system: the ANSI code page (CP_ACP) and its
// conversions, the system's ANSI case mapping, and the user locale's comparison and decimal
// separator. Windows builds only.

#include "component/text_platform.h"

namespace kvr {

// One object for the whole process, safe to use from any thread. It is not in force until
// someone calls install_text_platform(&windows_text_platform()), once at library start.
//
// Beyond the TextPlatform contract: wide_to_ansi never substitutes a look-alike ("best fit")
// for a character the code page lacks, it writes "?"; ansi_compare throws EOSError when the
// system refuses the comparison; decimal_separator is the first character of the user
// locale's separator, "." when the locale gives none.
const TextPlatform& windows_text_platform();

} // namespace kvr
