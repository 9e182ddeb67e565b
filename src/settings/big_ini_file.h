#pragma once
// TBigIniFile: an INI file held whole in memory. The file is read once when the engine is
// made, reads and writes work on memory, and the file is written back whole, only when
// something changed, by UpdateFile or when the engine goes away. The text format is the one of
// settings/ini_text.h. One thread at a time; callers that share a file between processes keep
// their own lock around the engine's whole life.

#include "common/errors.h"
#include "settings/file_errors.h"
#include "settings/ini_platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// The entry lines of one section, exactly as read or written, comments and lines without "="
// included. An entry's name is the text before its first "=" (the whole line when it has
// none) and its value the text after it (empty without "="), both trimmed of codes 0 to 32.
// An index outside 0 .. Count() - 1 raises EAssertionFailed.
class TSectionValues {
  public:
    static constexpr std::size_t NoEquals = std::string::npos;

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Strings(int index) const { return lines_[checked(index)]; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // Position of the line's first "=", or NoEquals; found once per line text and remembered.
    std::size_t EqualsPos(int index) const;
    // The entry's name, trimmed.
    std::string_view Names(int index) const;
    // The entry's value, trimmed; empty for a line without "=".
    std::string_view ValueFromIndex(int index) const;

    // Index of the first line whose name matches name under same_name, or -1. The index of the
    // last match is remembered and tried first, so repeated lookups of one entry cost one
    // comparison; a list must therefore always be searched with the same comparison.
    int IndexOfName(std::string_view name, const ini::NameComparer& same_name) const;

    void Add(std::string line);
    // Replaces the text of a line; its "=" position is found anew when next needed.
    void Put(int index, std::string line);
    void Delete(int index);

  private:
    static constexpr std::size_t NotComputed = std::string::npos - 1;
    std::size_t checked(int index) const;

    std::vector<std::string> lines_;
    mutable std::vector<std::size_t> equals_; // per line: "=" position, NoEquals or NotComputed
    mutable int last_found_ = -1;
};

// The sections of a file in file order: each name with its entry lines. Names are compared
// without regard to the case of ASCII letters. An index outside 0 .. Count() - 1 raises
// EAssertionFailed.
class TSectionList {
  public:
    int Count() const { return static_cast<int>(names_.size()); }
    const std::string& Names(int index) const;
    TSectionValues& Values(int index);
    const TSectionValues& Values(int index) const;

    // Index of the section named name, or -1. The search starts at start (any value; it is
    // taken modulo the count) and wraps around the list once.
    int IndexOf(std::string_view name, int start) const;
    // Index of the section named name, or -1, trying the last section found here first.
    int IndexOf(std::string_view name) const;

    // Appends an empty section and returns its index.
    int Add(std::string name);
    void Delete(int index);
    void Clear();

  private:
    std::size_t checked(int index) const;

    std::vector<std::string> names_;
    std::vector<std::unique_ptr<TSectionValues>> values_; // owned; addresses stay stable
    mutable int last_found_ = -1;
};

// What FindEntry found: the entry's index in its section's lines (-1 when missing) and the
// section's lines (null when the section is missing and was not created).
struct TEntryLocation {
    int Index = -1;
    TSectionValues* Values = nullptr;
};

class TBigIniFile {
  public:
    static constexpr std::size_t TextBufferSize = ini::kTextBufferSize;

    // Keeps file_name and, when it is not empty, loads it with LoadFromFile. Not modified.
    // Throws EFOpenError / EFReadError when an existing file cannot be read.
    explicit TBigIniFile(std::string file_name, ini::IniPlatform platform = {});

    // Runs UpdateFile and ignores its failure: whoever needs to know that the changes reached
    // the file calls UpdateFile first.
    ~TBigIniFile();

    TBigIniFile(const TBigIniFile&) = delete;
    TBigIniFile& operator=(const TBigIniFile&) = delete;

    const std::string& FileName() const { return file_name_; }
    // True once a write has changed the sections since loading or the last UpdateFile.
    bool Modified() const { return modified_; }
    const TSectionList& Sections() const { return sections_; }

    // Replaces the sections with those of the given file; a missing file (or a folder) gives
    // none. The file name of the engine stays as it was, and the engine is not modified after.
    // Throws EFOpenError / EFReadError for a file that exists but cannot be read; the sections
    // are then unchanged.
    void LoadFromFile(const std::string& file_name);

    // When modified and the file name is not empty, writes every section that has lines to the
    // file, replacing it whole: either the new text is in place or the old file is untouched.
    // The engine is not modified afterwards in any case. Throws EFCreateError / EFWriteError.
    void UpdateFile();

    // Looks up a section (starting at the one found last, wrapping once) and, in it, the first
    // entry whose name matches under the platform's name comparison. A missing section is
    // appended empty when create_section is true; the section found or made becomes the one
    // found last.
    TEntryLocation FindEntry(std::string_view section, std::string_view name, bool create_section);

    // The entry's value, or default_value when the section or the entry is missing.
    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view default_value) const;
    // The entry's value as a 32-bit integer (see ini::parse_ini_integer: "0x1F", "$1F", "-12"),
    // or default_value when missing or not convertible.
    std::int32_t ReadInteger(std::string_view section, std::string_view name,
                             std::int32_t default_value) const;
    // The entry's value as a number, "," or "." as decimal point (see ini::parse_ini_float),
    // or default_value when missing, empty or not convertible.
    double ReadFloat(std::string_view section, std::string_view name, double default_value) const;

    // Stores the line name=value: appended to the section (made when missing) for a new entry,
    // or put in place of the entry's line when that differs (compared with case). Modified
    // only when a line was added or changed. With an empty name: erases the section when
    // section or value is not empty, and runs UpdateFile when both are empty.
    // Throws kvr::EConvertError, changing nothing, for a text that would not read back as this
    // entry: a line break (CR, LF) or 0x1A in section, name or value; a name with "=" or with
    // codes 0 to 32 at either end; or a line that would read back as a section header.
    void WriteString(std::string_view section, std::string_view name, std::string_view value);
    // WriteString of the decimal text.
    void WriteInteger(std::string_view section, std::string_view name, std::int32_t value);
    // WriteString of ini::format_ini_float with the platform's decimal separator.
    void WriteFloat(std::string_view section, std::string_view name, double value);

    // Removes the entry's line and marks the engine modified when the entry exists. Like
    // FindEntry with create_section, a missing section is appended empty (never written).
    void DeleteKey(std::string_view section, std::string_view name);
    // Removes the section with all its lines when it exists; marks the engine modified always.
    void EraseSection(std::string_view section);

    // Appends the non-empty names of the section's entries, in line order, to list (which is
    // not cleared). A missing section appends nothing.
    void ReadSection(std::string_view section, std::vector<std::string>& list) const;
    // True when the section has an entry with a non-empty name equal to name, ASCII case
    // ignored.
    bool ValueExists(std::string_view section, std::string_view name) const;

  private:
    int find_section(std::string_view section) const;

    std::string file_name_;
    ini::IniPlatform platform_;
    bool modified_ = false;
    TSectionList sections_;
    mutable int section_found_last_ = 0;
};

} // namespace kvr
