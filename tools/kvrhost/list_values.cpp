#include "list_values.h"

#include <limits>
#include <new>

namespace kvrhost {

namespace {

std::wstring wide_from(UINT code_page, std::string_view text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::string narrow_to(UINT code_page, const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int bytes = WideCharToMultiByte(code_page, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(bytes), '\0');
    WideCharToMultiByte(code_page, 0, text, length, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

// Adds one value; the list copies it. Throws std::bad_alloc when the list cannot take it.
void add_value(kvr_params_list& list, const std::string& ansi_name, const Value& value) {
    VARIANT v;
    VariantInit(&v);
    if (std::holds_alternative<Null>(value)) {
        v.vt = VT_NULL;
    } else if (const bool* flag = std::get_if<bool>(&value)) {
        v.vt = VT_BOOL;
        v.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const std::int32_t* integer = std::get_if<std::int32_t>(&value)) {
        v.vt = VT_I4;
        v.lVal = *integer;
    } else if (const double* number = std::get_if<double>(&value)) {
        v.vt = VT_R8;
        v.dblVal = *number;
    } else {
        v.vt = VT_BSTR;
        v.bstrVal = bstr_from_utf8(std::get<std::string>(value));
        if (!v.bstrVal) throw std::bad_alloc();
    }
    kvr_params_list_item* const item = kvr_list_add(&list, ansi_name.c_str(), &v);
    VariantClear(&v);
    if (!item) throw std::bad_alloc();
}

std::string variant_text(const VARIANT& value) {
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return "(type " + std::to_string(value.vt) + ")";
    std::string utf8 = utf8_from_bstr(text.bstrVal);
    VariantClear(&text);
    return utf8;
}

Value unsigned_value(unsigned long long number) {
    if (number <= unsigned(std::numeric_limits<std::int32_t>::max())) return std::int32_t(number);
    return double(number);
}

} // namespace

OwnedList new_list(bool rows) {
    OwnedList list(kvr_list_new(rows ? 1 : 0));
    if (!list) throw std::bad_alloc();
    return list;
}

std::optional<std::string> ansi_from_utf8(std::string_view text) {
    const std::wstring wide = wide_from(CP_UTF8, text);
    if (wide.empty()) return std::string(text);
    if (GetACP() == CP_UTF8) return std::string(text);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                          int(wide.size()), nullptr, 0, nullptr, &lossy);
    if (lossy || bytes <= 0) return std::nullopt;
    std::string ansi(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), ansi.data(),
                        bytes, nullptr, &lossy);
    if (lossy) return std::nullopt;
    return ansi;
}

std::string utf8_from_ansi(std::string_view text) {
    const std::wstring wide = wide_from(CP_ACP, text);
    return narrow_to(CP_UTF8, wide.data(), int(wide.size()));
}

BSTR bstr_from_utf8(std::string_view text) {
    const std::wstring wide = wide_from(CP_UTF8, text);
    return SysAllocStringLen(wide.data(), UINT(wide.size()));
}

std::string utf8_from_bstr(BSTR text) {
    return text ? narrow_to(CP_UTF8, text, int(SysStringLen(text))) : std::string();
}

ListOutcome packet_list(const Packet& packet) {
    ListOutcome outcome{new_list(packet.several_rows), {}};
    for (const Row& row : packet.rows) {
        for (const NamedValue& item : row) {
            const std::optional<std::string> name = ansi_from_utf8(item.name);
            if (!name)
                return {nullptr,
                        "the name \"" + item.name + "\" has no form in the ANSI code page"};
            add_value(*outcome.list, *name, item.value);
        }
        if (packet.several_rows && !kvr_list_add_null(outcome.list.get(), KVR_ROW_SEPARATOR))
            throw std::bad_alloc();
    }
    return outcome;
}

Value host_value(const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return Null{};
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE;
    case VT_I1:
        return std::int32_t(value.cVal);
    case VT_I2:
        return std::int32_t(value.iVal);
    case VT_I4:
    case VT_INT:
        return std::int32_t(value.lVal);
    case VT_UI1:
        return std::int32_t(value.bVal);
    case VT_UI2:
        return std::int32_t(value.uiVal);
    case VT_UI4:
    case VT_UINT:
        return unsigned_value(value.ulVal);
    case VT_R4:
        return double(value.fltVal);
    case VT_R8:
        return value.dblVal;
    case VT_BSTR:
        return utf8_from_bstr(value.bstrVal);
    case KVR_VT_ANSI_STRING: {
        const kvr_ansi_string text = kvr_variant_ansi(&value);
        return utf8_from_ansi(
            std::string_view(text ? text : "", std::size_t(kvr_ansi_length(text))));
    }
    default:
        return variant_text(value);
    }
}

std::vector<NamedValue> list_items(const kvr_params_list& list) {
    std::vector<NamedValue> items;
    items.reserve(std::size_t(list.Count));
    for (int32_t i = 0; i < list.Count; ++i) {
        const kvr_params_list_item* item = list.Items[i];
        if (!item) continue;
        const std::string_view name(item->Name ? item->Name : "",
                                    std::size_t(kvr_ansi_length(item->Name)));
        items.push_back({utf8_from_ansi(name), host_value(item->Value)});
    }
    return items;
}

} // namespace kvrhost
