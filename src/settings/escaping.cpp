#include "settings/escaping.h"

namespace kvr {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void append_hex_escape(std::string& out, unsigned char byte) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

} // namespace

std::string EscapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool leading = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == ' ') {
            const bool blank_follows = i + 1 < text.size() && text[i + 1] == ' ';
            out += leading || blank_follows ? '+' : ' ';
            continue; // a blank leaves "leading" as it is
        }
        if (byte < 0x20)
            append_hex_escape(out, byte);
        else if (byte == '%')
            out += "%%";
        else if (byte == '+')
            out += "%2B";
        else
            out += static_cast<char>(byte);
        leading = false;
    }
    return out;
}

std::string UnescapeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (c == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
                   hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace kvr
