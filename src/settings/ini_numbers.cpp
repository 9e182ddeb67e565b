#include "settings/ini_numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace kvr::ini {

namespace {

int digit_value(char c, bool hexadecimal) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hexadecimal) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_x(char c) {
    return c == 'x' || c == 'X';
}

// Accumulates the digits of text into an unsigned value no larger than limit.
std::optional<std::uint64_t> parse_digits(std::string_view digits, bool hexadecimal,
                                          std::uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    const std::uint64_t base = hexadecimal ? 16 : 10;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int digit = digit_value(c, hexadecimal);
        if (digit < 0) return std::nullopt;
        value = value * base + static_cast<std::uint64_t>(digit);
        if (value > limit) return std::nullopt;
    }
    return value;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t count_digits(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && is_digit(text[end]))
        ++end;
    return end - from;
}

// Rewrites a number text into the C form that from_chars reads ("-12.5e-3"), or nothing when
// the text does not have the form sign? digits* (point digits*)? (e sign? digits+)?.
std::optional<std::string> canonical_float_text(std::string_view text, char decimal_point) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::string_view whole = text.substr(pos, count_digits(text, pos));
    pos += whole.size();
    std::string_view fraction;
    if (pos < text.size() && text[pos] == decimal_point) {
        ++pos;
        fraction = text.substr(pos, count_digits(text, pos));
        pos += fraction.size();
    }
    if (whole.empty() && fraction.empty()) return std::nullopt;
    bool negative_exponent = false;
    std::string_view exponent;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
            negative_exponent = text[pos] == '-';
            ++pos;
        }
        exponent = text.substr(pos, count_digits(text, pos));
        if (exponent.empty()) return std::nullopt;
        pos += exponent.size();
    }
    if (pos != text.size()) return std::nullopt;

    std::string canonical;
    canonical.reserve(text.size() + 4);
    if (negative) canonical += '-';
    if (whole.empty()) canonical += '0';
    canonical.append(whole);
    if (!fraction.empty()) canonical.append(".").append(fraction);
    if (!exponent.empty()) canonical.append(negative_exponent ? "e-" : "e").append(exponent);
    return canonical;
}

// Turns from_chars' exponent "e+15" / "e-07" into "E15" / "E-7".
std::string tidy_exponent(std::string_view text) {
    const std::size_t e = text.find('e');
    if (e == std::string_view::npos) return std::string(text);
    std::string_view exponent = text.substr(e + 1);
    const bool negative = !exponent.empty() && exponent.front() == '-';
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+'))
        exponent.remove_prefix(1);
    while (exponent.size() > 1 && exponent.front() == '0')
        exponent.remove_prefix(1);
    std::string tidy(text.substr(0, e));
    tidy.append(negative ? "E-" : "E").append(exponent);
    return tidy;
}

} // namespace

std::optional<std::int32_t> parse_ini_integer(std::string_view text) {
    bool negative = false;
    bool hexadecimal = false;
    std::size_t pos = 0;
    if (text.size() >= 2 && text[0] == '0' && is_x(text[1])) {
        hexadecimal = true;
        pos = 2;
    } else {
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
            negative = text[pos] == '-';
            ++pos;
        }
        if (pos < text.size() && (text[pos] == '$' || is_x(text[pos]))) {
            hexadecimal = true;
            pos += 1;
        } else if (pos + 1 < text.size() && text[pos] == '0' && is_x(text[pos + 1])) {
            hexadecimal = true;
            pos += 2;
        }
    }
    const std::string_view digits = text.substr(pos);
    if (hexadecimal) {
        const auto pattern = parse_digits(digits, true, 0xFFFFFFFFu);
        if (!pattern) return std::nullopt;
        const auto bits = static_cast<std::uint32_t>(*pattern);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    const auto magnitude = parse_digits(digits, false, limit);
    if (!magnitude) return std::nullopt;
    const auto value = static_cast<std::int64_t>(*magnitude);
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::optional<double> parse_ini_float(std::string_view text, char decimal_separator) {
    if (text.empty()) return std::nullopt;
    std::string normalised(text);
    if (decimal_separator == '.') {
        std::replace(normalised.begin(), normalised.end(), ',', '.');
    } else {
        std::replace(normalised.begin(), normalised.end(), '.', decimal_separator);
    }
    const auto canonical = canonical_float_text(normalised, decimal_separator);
    if (!canonical) return std::nullopt;
    double value = 0;
    const char* first = canonical->data();
    const char* last = first + canonical->size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string format_ini_float(double value, char decimal_separator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text = tidy_exponent(std::string_view(buffer, result.ptr - buffer));
    std::replace(text.begin(), text.end(), '.', decimal_separator);
    return text;
}

} // namespace kvr::ini
