#include "translation/utf8_text.h"

#include <cstdint>

namespace kvr {

namespace {

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

bool is_valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const LeadByte kind = classify_lead(static_cast<unsigned char>(text[i]));
        if (kind.length == 0 || i + static_cast<std::size_t>(kind.length) > text.size())
            return false;
        for (int used = 1; used < kind.length; ++used) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(used)]);
            const bool fits = used == 1 ? in_range(next, kind.second_low, kind.second_high)
                                        : in_range(next, 0x80, 0xBF);
            if (!fits) return false;
        }
        i += static_cast<std::size_t>(kind.length);
    }
    return true;
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

} // namespace kvr
