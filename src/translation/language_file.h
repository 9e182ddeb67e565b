#pragma once
// Language files: 8-bit text with settings in lines 1 to 19, "//" comment lines (some of them
// directives), and blocks of "CODE:>text" lines ended by an empty line. Parsing is pure; file
// access goes through TLanguageFileSystem (language_io.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

enum class TLngBiDiMode {
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly,
};

enum class TLngCollectMode { cmNone, cmSaveUntr, cmSaveAll, cmSaveUnused, cmSaveUntrObj };
enum class TLngFileMode { fmNew, fmRewrite, fmAppend };

inline constexpr std::uint8_t kDefaultCharset = 1;

// What the settings lines of one file say; every parse starts from these defaults.
struct TLngSettings {
    bool Utf8 = false;
    std::uint8_t Charset = kDefaultCharset;
    TLngBiDiMode BiDiMode = TLngBiDiMode::bdLeftToRight;
    // A "Locale=" value above 0; absent when no line gave one.
    std::optional<std::uint32_t> Locale;
};

// Directives found in lines 1 to 19; absent when none of that kind was there. When several
// are given, the last one of each kind counts.
struct TLngDirectives {
    std::optional<TLngCollectMode> CollectMode;
    std::optional<TLngFileMode> FileMode;
};

struct TLngEntry {
    std::string Key;
    std::string Translation;
};

struct TLngParseResult {
    TLngSettings Settings;
    TLngDirectives Directives;
    // One entry per block that yields one, in file order. A key may occur more than once; the
    // later entry wins when they are added to a table in this order.
    std::vector<TLngEntry> Entries;
};

// The source language of every text of this system.
inline constexpr std::string_view kSourceLanguage = "EN";

// What a file says besides its entries.
struct TLngFileOptions {
    TLngSettings Settings;
    TLngDirectives Directives;
};

// Receives one entry; the views point into the parsed text.
using TLngEntrySink = std::function<void(std::string_view key, std::string_view translation)>;

// Parses a whole language file for one pair of language codes (compared case-sensitively) and
// hands each entry to on_entry in file order, without collecting them. Never throws on
// content: any byte sequence is a valid file. Time is linear in the text's length.
TLngFileOptions parse_language_file(std::string_view text, std::string_view source,
                                    std::string_view target, const TLngEntrySink& on_entry);

// The same, collecting the entries.
TLngParseResult parse_language_file(std::string_view text, std::string_view source,
                                    std::string_view target);

// The lines of a file as the parser sees them: split at LF (a CR before the LF is dropped, a
// lone CR stays), without a final empty line after a last line end, each trimmed of spaces
// (character 32 only). The views point into text.
std::vector<std::string_view> split_language_lines(std::string_view text);

// Applies the settings found in one line (of lines 1 to 19, already trimmed) to settings;
// true when the line is a setting line.
bool apply_setting_line(std::string_view line, TLngSettings& settings);

// Applies a directive line to directives; true when the line is one.
bool apply_directive_line(std::string_view line, TLngDirectives& directives);

// The font character set a "Charset=" value selects (already lower-cased), or nothing.
std::optional<std::uint8_t> charset_from_name(std::string_view name);

// A "Locale=" value: decimal, or hexadecimal after "0x" or "$"; nothing unless it is a
// number from 1 to 0x7FFFFFFF.
std::optional<std::uint32_t> parse_locale_value(std::string_view value);

// Key form: every character below 32 written as "%" and two upper-case hex digits.
std::string to_key_form(std::string_view text);

// The "[Languages]" section, read as the INI engine reads a file: the entry lines of the first
// section named "Languages" (ASCII case ignored), empty lines left out; empty when there is no
// such section.
std::vector<std::string> languages_section_lines(std::string_view text);

// The value of the first entry named "Default" (ASCII case ignored, name and value trimmed of
// characters up to 32) among section lines; empty when there is none.
std::string default_language_from_section(std::span<const std::string> lines);

} // namespace kvr
