#include "translation/ansi_text.h"

#include <array>
#include <cstdint>

namespace kvr {

namespace {

// Windows-1252 assigns these characters to 0x80..0x9F; the five unassigned codes map to the
// control character of the same number, as the Windows conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned char windows1252_upper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A; // s caron
    case 0x9C:
        return 0x8C; // oe ligature
    case 0x9E:
        return 0x8E; // z caron
    case 0xFF:
        return 0x9F; // y diaeresis
    default:
        return c;
    }
}

class TWindows1252CaseFolding final : public TAnsiCaseFolding {
  public:
    std::string upper(std::string_view text) const override {
        std::string result(text);
        for (char& c : result)
            c = static_cast<char>(windows1252_upper(static_cast<unsigned char>(c)));
        return result;
    }
    bool equal_ignoring_case(std::string_view a, std::string_view b) const override {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (windows1252_upper(static_cast<unsigned char>(a[i])) !=
                windows1252_upper(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    }
};

class TWindows1252CodePage final : public TAnsiCodePage {
  public:
    std::u16string to_wide(std::string_view text) const override {
        std::u16string result;
        result.reserve(text.size());
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            result.push_back(byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80]
                                                          : static_cast<char16_t>(byte));
        }
        return result;
    }
    std::string from_wide(std::u16string_view text) const override {
        std::string result;
        result.reserve(text.size());
        for (const char16_t c : text)
            result.push_back(narrow(c));
        return result;
    }

  private:
    static char narrow(char16_t c) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
        for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
            if (kWindows1252High[i] == c) return static_cast<char>(0x80 + i);
        }
        return '?';
    }
};

constexpr char16_t kReplacement = 0xFFFD;

bool in_range(unsigned char c, unsigned char low, unsigned char high) {
    return c >= low && c <= high;
}

// Length of the sequence a lead byte introduces and the allowed range of its second byte;
// 0 for a byte that cannot start a sequence.
struct LeadByte {
    int length;
    unsigned char second_low;
    unsigned char second_high;
};

LeadByte classify_lead(unsigned char c) {
    if (c < 0x80) return {1, 0, 0};
    if (in_range(c, 0xC2, 0xDF)) return {2, 0x80, 0xBF};
    if (c == 0xE0) return {3, 0xA0, 0xBF};
    if (c == 0xED) return {3, 0x80, 0x9F}; // no surrogates
    if (in_range(c, 0xE1, 0xEF)) return {3, 0x80, 0xBF};
    if (c == 0xF0) return {4, 0x90, 0xBF};
    if (in_range(c, 0xF1, 0xF3)) return {4, 0x80, 0xBF};
    if (c == 0xF4) return {4, 0x80, 0x8F}; // nothing above U+10FFFF
    return {0, 0, 0};
}

void append_code_point(std::u16string& out, std::uint32_t code_point) {
    if (code_point < 0x10000) {
        out.push_back(static_cast<char16_t>(code_point));
    } else {
        code_point -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
    }
}

void append_utf8(std::string& out, std::uint32_t code_point) {
    if (code_point < 0x80) {
        out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

} // namespace

bool TAnsiCaseFolding::equal_ignoring_case(std::string_view a, std::string_view b) const {
    return upper(a) == upper(b);
}

const TAnsiCaseFolding& windows1252_case_folding() {
    static const TWindows1252CaseFolding folding;
    return folding;
}

const TAnsiCodePage& windows1252_code_page() {
    static const TWindows1252CodePage code_page;
    return code_page;
}

std::u16string utf8_to_wide(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const LeadByte kind = classify_lead(lead);
        if (kind.length == 1) {
            result.push_back(lead);
            ++i;
            continue;
        }
        if (kind.length == 0) {
            result.push_back(kReplacement);
            ++i;
            continue;
        }
        std::uint32_t code_point = lead & (0xFF >> (kind.length + 1));
        std::size_t used = 1;
        bool complete = true;
        for (; used < static_cast<std::size_t>(kind.length); ++used) {
            if (i + used >= text.size()) {
                complete = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + used]);
            const bool fits = used == 1 ? in_range(next, kind.second_low, kind.second_high)
                                        : in_range(next, 0x80, 0xBF);
            if (!fits) {
                complete = false;
                break;
            }
            code_point = (code_point << 6) | (next & 0x3F);
        }
        if (complete) {
            append_code_point(result, code_point);
        } else {
            result.push_back(kReplacement);
        }
        i += used;
    }
    return result;
}

std::string wide_to_utf8(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            append_utf8(result, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            append_utf8(result, kReplacement);
        } else {
            append_utf8(result, c);
        }
    }
    return result;
}

std::string ascii_lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return result;
}

bool ascii_equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ascii_lower(a) == ascii_lower(b);
}

} // namespace kvr
