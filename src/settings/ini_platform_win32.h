#pragma once
// The INI engine's platform on Windows: the decimal separator of the user's locale, entry
// names compared without regard to case under that locale, and file access through the
// system with its sharing modes and ANSI file names. Windows builds only.

#include "settings/ini_platform.h"

#include <memory>

namespace kvr::ini {

// Reads the locale afresh on every call.
IniPlatform WindowsIniPlatform();

// Files through CreateFileA: reading lets other readers (and renames) in and keeps writers
// out; a file is replaced by writing a temporary file beside it and moving it over the old
// one, so readers see either the old or the new contents whole. A move refused because a
// reader holds the file is tried again for up to two seconds.
std::shared_ptr<const IniFileAccess> WindowsFileAccess();

} // namespace kvr::ini
