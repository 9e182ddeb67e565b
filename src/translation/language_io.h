#pragma once
// File access of the translation area behind a small interface, so that parsing and writing
// stay testable without the file system and the Windows build can use its own calls.

#include "translation/language_file.h"

#include <optional>
#include <string>
#include <string_view>

namespace kvr {

class TLanguageFileSystem {
  public:
    virtual ~TLanguageFileSystem() = default;
    virtual bool Exists(const std::string& path) const = 0;
    // The whole file as bytes; nothing when it does not exist or cannot be read.
    virtual std::optional<std::string> ReadAll(const std::string& path) const = 0;
    // Creates the file (emptying an existing one) or, with append, adds to its end (creating
    // it when missing). False on any failure; never throws.
    virtual bool Write(const std::string& path, std::string_view bytes, bool append) = 0;
};

// The portable implementation on the standard library's files.
TLanguageFileSystem& standard_file_system();

// Reads and parses a language file for a pair of codes; nothing when the file is missing or
// cannot be read.
std::optional<TLngParseResult> load_language_file(const TLanguageFileSystem& files,
                                                  const std::string& path, std::string_view source,
                                                  std::string_view target);

// The "Default" value of the file's "[Languages]" section; empty when the file, the section or
// the key is missing.
std::string read_default_language(const TLanguageFileSystem& files, const std::string& path);

} // namespace kvr
