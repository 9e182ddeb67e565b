#pragma once
// What the INI engine needs of the platform: the decimal separator, the comparison of entry
// names, and file access. The defaults work on any platform with the C++ standard library; a
// Windows build replaces them with the locale's rules and its own file sharing modes.

#include "settings/ini_text.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kvr::ini {

// Hands a writer's sink to a producer of file contents, which calls it with consecutive pieces.
using ContentProducer = std::function<void(const ChunkSink& sink)>;

// The one place where the INI engine touches files. Paths are 8-bit texts passed as given.
class IniFileAccess {
  public:
    virtual ~IniFileAccess() = default;

    // True when something other than a folder exists at path; false for a folder, a missing
    // path or a path that cannot be examined.
    virtual bool file_exists(const std::string& path) const = 0;

    // Reads the whole file from its start, handing consume pieces of at most buffer_size bytes
    // in order. Other readers may read the file meanwhile; writers should be kept out.
    // Throws EFOpenError when the file cannot be opened, EFReadError when reading fails.
    virtual void read_file(const std::string& path, std::size_t buffer_size,
                           const ChunkSink& consume) const = 0;

    // Makes produce's bytes the new contents of the file, creating it when missing. The old
    // contents stay in place, whole, until the new ones are complete: on any failure (of the
    // file system or an exception from produce) the file is as it was before the call and no
    // temporary file is left behind. Throws EFCreateError when the file cannot be created or
    // replaced (missing folder, no permission, a folder at path), EFWriteError when writing
    // fails, or whatever produce throws.
    virtual void replace_file(const std::string& path, const ContentProducer& produce) const = 0;
};

// File access through the C and C++ standard libraries: reads with fopen/fread; writes as
// settings/file_replace.h says (a temporary file beside the target, named target +
// ".~<random>.tmp", renamed over it with the target's permission bits; links followed; in
// place where the folder refuses new files or the file has several names).
std::shared_ptr<const IniFileAccess> standard_file_access();

// Compares two entry names; true when they name the same entry.
using NameComparer = std::function<bool(std::string_view a, std::string_view b)>;

// The platform pieces one engine works with. Empty members fall back to the defaults.
struct IniPlatform {
    char decimal_separator = '.';                           // the locale's decimal separator
    NameComparer same_entry_name = ascii_equal_ignore_case; // the locale's case-blind compare
    std::shared_ptr<const IniFileAccess> files = standard_file_access();
};

} // namespace kvr::ini
