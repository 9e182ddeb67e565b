#include "component/text_platform_win.h"

#include "common/errors.h"
#include "common/win32_handle.h"

#include <windows.h>

#include <climits>
#include <string>

namespace kvr {

namespace {

// The system's text calls take int lengths.
int checked_length(std::size_t size, const char* call) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw EConvertError(std::string(call) + ": text too long");
    return static_cast<int>(size);
}

// A pointer the system calls accept for empty text too (they refuse null even with length 0).
const char* text_pointer(std::string_view text) {
    return text.empty() ? "" : text.data();
}

LPWSTR wide_pointer(std::u16string& text) {
    return reinterpret_cast<LPWSTR>(text.data());
}

LPCWSTR wide_pointer(std::u16string_view text) {
    return reinterpret_cast<LPCWSTR>(text.data());
}

class WindowsTextPlatform final : public TextPlatform {
  public:
    std::u16string ansi_to_wide(std::string_view text) const override {
        if (text.empty()) return {};
        const int length = checked_length(text.size(), "MultiByteToWideChar");
        const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
        if (needed <= 0) throw_last_error("MultiByteToWideChar");
        std::u16string wide(static_cast<std::size_t>(needed), u'\0');
        if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide_pointer(wide), needed) !=
            needed)
            throw_last_error("MultiByteToWideChar");
        return wide;
    }

    std::string wide_to_ansi(std::u16string_view text) const override {
        if (text.empty()) return {};
        const int length = checked_length(text.size(), "WideCharToMultiByte");
        // Best-fit look-alikes would turn, say, a fullwidth backslash into a path separator.
        // A UTF-8 ANSI code page can hold every character and takes neither flag nor default.
        const bool utf8 = GetACP() == CP_UTF8;
        const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
        const char* substitute = utf8 ? nullptr : "?";
        const int needed = WideCharToMultiByte(CP_ACP, flags, wide_pointer(text), length, nullptr,
                                               0, substitute, nullptr);
        if (needed <= 0) throw_last_error("WideCharToMultiByte");
        std::string ansi(static_cast<std::size_t>(needed), '\0');
        if (WideCharToMultiByte(CP_ACP, flags, wide_pointer(text), length, ansi.data(), needed,
                                substitute, nullptr) != needed)
            throw_last_error("WideCharToMultiByte");
        return ansi;
    }

    std::string ansi_upper(std::string_view text) const override {
        std::string result(text);
        if (!result.empty())
            CharUpperBuffA(result.data(),
                           static_cast<DWORD>(checked_length(result.size(), "CharUpperBuffA")));
        return result;
    }

    std::string ansi_lower(std::string_view text) const override {
        std::string result(text);
        if (!result.empty())
            CharLowerBuffA(result.data(),
                           static_cast<DWORD>(checked_length(result.size(), "CharLowerBuffA")));
        return result;
    }

    int ansi_compare(std::string_view a, std::string_view b, bool case_sensitive) const override {
        const int order =
            CompareStringA(LOCALE_USER_DEFAULT, case_sensitive ? 0 : NORM_IGNORECASE,
                           text_pointer(a), checked_length(a.size(), "CompareStringA"),
                           text_pointer(b), checked_length(b.size(), "CompareStringA"));
        if (order == 0) throw_last_error("CompareStringA");
        return order - CSTR_EQUAL;
    }

    char decimal_separator() const override {
        char separator[8] = {};
        if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) <=
                0 ||
            separator[0] == '\0')
            return '.';
        return separator[0];
    }
};

} // namespace

const TextPlatform& windows_text_platform() {
    static const WindowsTextPlatform platform;
    return platform;
}

} // namespace kvr
