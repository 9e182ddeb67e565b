#include "component/text_util.h"

#include "component/text_platform.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kvr::text {

namespace {

char ascii_lower_char(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
char ascii_upper_char(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool is_blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Magnitude of the digits in text with the given base, or nothing when a byte is no digit or
// the value exceeds limit.
std::optional<std::uint64_t> parse_magnitude(std::string_view text, int base, std::uint64_t limit) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = hex_digit(c);
        if (digit < 0 || digit >= base) return std::nullopt;
        if (value > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

template <class Int> std::optional<Int> parse_integer(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    using Unsigned = std::make_unsigned_t<Int>;
    const auto max = static_cast<std::uint64_t>(std::numeric_limits<Int>::max());
    const auto magnitude = parse_magnitude(text, base, negative ? max + 1 : max);
    if (!magnitude) return std::nullopt;
    const auto bits = static_cast<Unsigned>(*magnitude);
    return static_cast<Int>(negative ? static_cast<Unsigned>(Unsigned{0} - bits) : bits);
}

// Removes the "+" and leading zeros from the exponent of to_chars output and upper-cases "e".
std::string tidy_exponent(std::string text) {
    const auto e = text.find('e');
    if (e == std::string::npos) return text;
    std::string mantissa = text.substr(0, e);
    std::string_view exponent(text);
    exponent.remove_prefix(e + 1);
    std::string sign;
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
        if (exponent.front() == '-') sign = "-";
        exponent.remove_prefix(1);
    }
    while (exponent.size() > 1 && exponent.front() == '0')
        exponent.remove_prefix(1);
    return mantissa + "E" + sign + std::string(exponent);
}

} // namespace

std::string ascii_lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = ascii_lower_char(c);
    return result;
}

std::string ascii_upper(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = ascii_upper_char(c);
    return result;
}

bool same_text_ascii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_upper_char(a[i]) != ascii_upper_char(b[i])) return false;
    return true;
}

std::string_view trim_controls(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int32_t> parse_int32(std::string_view text) {
    return parse_integer<std::int32_t>(text);
}

std::optional<std::int64_t> parse_int64(std::string_view text) {
    return parse_integer<std::int64_t>(text);
}

std::optional<double> parse_float(std::string_view text) {
    text = trim_controls(text);
    std::string normal;
    normal.reserve(text.size());
    const char separator = text_platform().decimal_separator();
    for (char c : text)
        normal.push_back(c == separator ? '.' : c);
    std::string_view digits(normal);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    // Only digits or a point may start the number: from_chars would accept "inf" and "nan".
    if (digits.empty() ||
        !(digits.front() == '.' || (digits.front() >= '0' && digits.front() <= '9')))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return negative ? -value : value;
}

std::string format_float(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text = error == std::errc() ? std::string(buffer, end) : std::string("0");
    text = tidy_exponent(std::move(text));
    const char separator = text_platform().decimal_separator();
    for (char& c : text)
        if (c == '.') c = separator;
    return text;
}

} // namespace kvr::text
