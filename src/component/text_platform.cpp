#include "component/text_platform.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace kvr {

namespace {

// Code units of the bytes 0x80 to 0x9F; the other bytes map to the code unit of equal value.
constexpr std::array<char16_t, 32> kHighControlBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t byte_to_unit(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControlBlock[byte - 0x80];
    return static_cast<char16_t>(byte);
}

char unit_to_byte(char16_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
    const auto* hit = std::find(kHighControlBlock.begin(), kHighControlBlock.end(), code);
    if (hit != kHighControlBlock.end())
        return static_cast<char>(0x80 + (hit - kHighControlBlock.begin()));
    return '?';
}

unsigned char upper_byte(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        return c;
    }
}

unsigned char lower_byte(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x8E:
        return 0x9E;
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

template <class Map> std::string map_bytes(std::string_view text, Map map) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(map(static_cast<unsigned char>(c)));
    return result;
}

const Windows1252TextPlatform default_platform; // the default text services (process-wide)
std::atomic<const TextPlatform*> installed_platform{nullptr};

} // namespace

std::u16string Windows1252TextPlatform::ansi_to_wide(std::string_view text) const {
    std::u16string result;
    result.reserve(text.size());
    for (char c : text)
        result.push_back(byte_to_unit(static_cast<unsigned char>(c)));
    return result;
}

std::string Windows1252TextPlatform::wide_to_ansi(std::u16string_view text) const {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        result.push_back(unit_to_byte(text[i]));
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) ++i; // one character, one "?"
    }
    return result;
}

std::string Windows1252TextPlatform::ansi_upper(std::string_view text) const {
    return map_bytes(text, upper_byte);
}

std::string Windows1252TextPlatform::ansi_lower(std::string_view text) const {
    return map_bytes(text, lower_byte);
}

int Windows1252TextPlatform::ansi_compare(std::string_view a, std::string_view b,
                                          bool case_sensitive) const {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (!case_sensitive) {
            x = upper_byte(x);
            y = upper_byte(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

const TextPlatform& text_platform() {
    const TextPlatform* installed = installed_platform.load(std::memory_order_acquire);
    return installed ? *installed : default_platform;
}

void install_text_platform(const TextPlatform* platform) {
    installed_platform.store(platform, std::memory_order_release);
}

} // namespace kvr
