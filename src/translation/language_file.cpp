#include "translation/language_file.h"

#include "component/text_util.h"

#include <array>
#include <utility>

namespace kvr {

namespace {

constexpr int kLastSettingLine = 19;
constexpr std::size_t kSettingWidth = 50;

std::string_view trim_spaces(std::string_view line) {
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    return line;
}

std::string_view setting_head(std::string_view line) {
    return line.substr(0, kSettingWidth);
}

// Calls visit(line) for each line of a language file, trimmed of spaces.
template <typename Visit> void for_each_language_line(std::string_view text, Visit&& visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(start, end - start);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        visit(trim_spaces(line));
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
}

bool starts_with_prefix(std::string_view line, std::string_view code) {
    return line.size() >= code.size() + 2 && line.substr(0, code.size()) == code &&
           line.substr(code.size(), 2) == ":>";
}

struct BlockState {
    std::optional<std::string_view> key;
    std::optional<std::string_view> translation;
};

void close_block(BlockState& block, const TLngEntrySink& on_entry) {
    if (block.key && block.translation && !block.key->empty() && !block.translation->empty())
        on_entry(*block.key, *block.translation);
    block = {};
}

std::optional<TLngBiDiMode> bidi_from_name(std::string_view name) {
    if (name == "righttoleft") return TLngBiDiMode::bdRightToLeft;
    if (name == "righttoleftnoalign") return TLngBiDiMode::bdRightToLeftNoAlign;
    if (name == "righttoleftreadingonly") return TLngBiDiMode::bdRightToLeftReadingOnly;
    return std::nullopt;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> parse_digits(std::string_view digits, std::uint32_t base) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hex_digit(c);
        if (digit < 0 || static_cast<std::uint32_t>(digit) >= base) return std::nullopt;
        value = value * base + static_cast<std::uint32_t>(digit);
        if (value > 0x7FFFFFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool is_ini_section_header(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// Calls visit(line) for each non-empty line as the INI engine reads it: 0x1A ends the text,
// lines end at LF or CR LF, a CR elsewhere is left out of the line.
template <typename Visit> void for_each_ini_line(std::string_view text, Visit&& visit) {
    if (const std::size_t eof = text.find('\x1A'); eof != std::string_view::npos)
        text = text.substr(0, eof);
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty()) visit(std::as_const(line));
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    if (!line.empty()) visit(std::as_const(line));
}

} // namespace

std::vector<std::string_view> split_language_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for_each_language_line(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

bool apply_setting_line(std::string_view line, TLngSettings& settings) {
    const std::string_view head = setting_head(line);
    const bool encoding = head.find("Encoding=") != std::string_view::npos;
    const bool bidi = head.find("BiDiMode=") != std::string_view::npos;
    const bool locale = head.find("Locale=") != std::string_view::npos;
    const bool charset = head.find("Charset=") != std::string_view::npos;
    if (!encoding && !bidi && !locale && !charset) return false;

    // The value follows the first "=" of the head, whichever key that belongs to.
    const std::string value =
        text::ascii_lower(text::trim_controls(head.substr(head.find('=') + 1)));
    if (encoding && value == "utf-8") settings.Utf8 = true;
    if (bidi) {
        if (const auto mode = bidi_from_name(value)) settings.BiDiMode = *mode;
    }
    if (locale) {
        if (const auto id = parse_locale_value(value)) settings.Locale = *id;
    }
    if (charset) {
        if (const auto set = charset_from_name(value)) settings.Charset = *set;
    }
    return true;
}

bool apply_directive_line(std::string_view line, TLngDirectives& directives) {
    static constexpr std::array<std::pair<std::string_view, TLngCollectMode>, 4> kCollect = {{
        {"//saveuntr", TLngCollectMode::cmSaveUntr},
        {"//saveuntrobj", TLngCollectMode::cmSaveUntrObj},
        {"//saveunused", TLngCollectMode::cmSaveUnused},
        {"//saveall", TLngCollectMode::cmSaveAll},
    }};
    static constexpr std::array<std::pair<std::string_view, TLngFileMode>, 3> kFile = {{
        {"//filenew", TLngFileMode::fmNew},
        {"//filerewrite", TLngFileMode::fmRewrite},
        {"//fileappend", TLngFileMode::fmAppend},
    }};
    const std::string_view word = text::trim_controls(setting_head(line));
    for (const auto& [name, mode] : kCollect) {
        if (word == name) {
            directives.CollectMode = mode;
            return true;
        }
    }
    for (const auto& [name, mode] : kFile) {
        if (word == name) {
            directives.FileMode = mode;
            return true;
        }
    }
    return false;
}

std::optional<std::uint8_t> charset_from_name(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, std::uint8_t>, 15> kCharsets = {{
        {"windows-1250", 238},
        {"windows-1251", 204},
        {"windows-1252", 0},
        {"windows-1253", 161},
        {"windows-1254", 162},
        {"windows-1255", 177},
        {"windows-1256", 178},
        {"windows-1257", 186},
        {"windows-1258", 163},
        {"windows-874", 222},
        {"shift-jis", 128},
        {"hangeul", 129},
        {"johab", 130},
        {"gb2312", 134},
        {"chinesebig5", 136},
    }};
    for (const auto& [charset_name, charset] : kCharsets) {
        if (name == charset_name) return charset;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> parse_locale_value(std::string_view value) {
    std::optional<std::uint32_t> id;
    if (value.starts_with("0x") || value.starts_with("0X")) {
        id = parse_digits(value.substr(2), 16);
    } else if (value.starts_with("$")) {
        id = parse_digits(value.substr(1), 16);
    } else {
        id = parse_digits(value, 10);
    }
    if (id && *id == 0) return std::nullopt;
    return id;
}

std::string to_key_form(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key;
    key.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32) {
            key.push_back('%');
            key.push_back(kHex[code >> 4]);
            key.push_back(kHex[code & 0x0F]);
        } else {
            key.push_back(c);
        }
    }
    return key;
}

TLngFileOptions parse_language_file(std::string_view text, std::string_view source,
                                    std::string_view target, const TLngEntrySink& on_entry) {
    TLngFileOptions options;
    BlockState block;
    int number = 0;
    for_each_language_line(text, [&](std::string_view line) {
        ++number;
        if (number <= kLastSettingLine) {
            apply_directive_line(line, options.Directives);
            if (apply_setting_line(line, options.Settings)) return;
        }
        if (line.starts_with("//")) return;
        if (line.empty()) {
            close_block(block, on_entry);
            return;
        }
        if (starts_with_prefix(line, source)) {
            block.key = line.substr(source.size() + 2);
        } else if (starts_with_prefix(line, target)) {
            block.translation = line.substr(target.size() + 2);
        }
    });
    // A block still open here had no empty line after it and yields nothing.
    return options;
}

TLngParseResult parse_language_file(std::string_view text, std::string_view source,
                                    std::string_view target) {
    TLngParseResult result;
    const TLngFileOptions options = parse_language_file(
        text, source, target, [&](std::string_view key, std::string_view translation) {
            result.Entries.push_back({std::string(key), std::string(translation)});
        });
    result.Settings = options.Settings;
    result.Directives = options.Directives;
    return result;
}

std::vector<std::string> languages_section_lines(std::string_view text) {
    std::vector<std::string> lines;
    enum class Where { before, inside, done } where = Where::before;
    for_each_ini_line(text, [&](const std::string& line) {
        if (where == Where::done) return;
        if (is_ini_section_header(line)) {
            const std::string_view name = std::string_view(line).substr(1, line.size() - 2);
            if (where == Where::inside) {
                where = Where::done;
            } else if (text::same_text_ascii(name, "Languages")) {
                where = Where::inside;
            }
            return;
        }
        if (where == Where::inside) lines.push_back(line);
    });
    return lines;
}

std::string default_language_from_section(std::span<const std::string> lines) {
    for (const std::string& line : lines) {
        const std::string_view entry = line;
        const std::size_t equals = entry.find('=');
        const std::string_view name = text::trim_controls(entry.substr(0, equals));
        if (!text::same_text_ascii(name, "Default")) continue;
        if (equals == std::string_view::npos) return {};
        return std::string(text::trim_controls(entry.substr(equals + 1)));
    }
    return {};
}

} // namespace kvr
