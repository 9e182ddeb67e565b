#pragma once
// The INI engine's platform on Windows: the decimal separator of the user's locale, entry
// names compared without regard to case under that locale, and file access through the
// system with its sharing modes and ANSI file names. Windows builds only.

#include "settings/file_replace.h"
#include "settings/ini_platform.h"

#include <memory>

namespace kvr::ini {

// Reads the locale afresh on every call.
IniPlatform WindowsIniPlatform();

// Files through CreateFileA: reading lets other readers (and renames) in and keeps writers
// out; writing follows settings/file_replace.h with WindowsFileSteps, so readers see either
// the old or the new contents whole.
std::shared_ptr<const IniFileAccess> WindowsFileAccess();

// The system's file steps: the read-only attribute, hard links and links as the system
// reports them; a temporary file beside the target gets what ReplaceFile would keep of the
// replaced file (attributes, access list, creation time) and is moved over it (Wine's
// ReplaceFile leaves files of its own behind when it fails); a move refused because a reader
// holds the file is tried again for up to two seconds.
const FileSteps& WindowsFileSteps();

} // namespace kvr::ini
