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

bool is_ascii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// An item as kvr_list_add makes it (State 2, the name lowered by the code page's rules), that
// takes over `value` instead of copying it. Null when out of memory; the value is then cleared.
kvr_params_list_item* new_item(std::string_view name, VARIANT& value) {
    auto* item = static_cast<kvr_params_list_item*>(kvr_heap_alloc(sizeof(kvr_params_list_item)));
    const auto length = std::int32_t(name.size());
    if (item) {
        item->Class = &kvr_params_list_item_class;
        item->Name = kvr_ansi_new(name.data(), length);
        item->LowerName = kvr_ansi_new(name.data(), length);
    }
    if (!item || !item->Name || !item->LowerName) {
        VariantClear(&value);
        kvr_item_free(item);
        return nullptr;
    }
    if (is_ascii(name)) { // every ANSI code page lowers ASCII letters as ASCII does
        for (char* c = item->LowerName; c < item->LowerName + length; ++c)
            if (*c >= 'A' && *c <= 'Z') *c = char(*c - 'A' + 'a');
    } else {
        CharLowerBuffA(item->LowerName, DWORD(length));
    }
    item->Value = value;
    VariantInit(&value);
    item->State = 2;
    return item;
}

// Adds one value. Throws std::bad_alloc when the list cannot take it.
void add_value(kvr_params_list& list, std::string_view ansi_name, const Value& value) {
    if (kvr_name_is_blank(ansi_name.data(), std::int32_t(ansi_name.size())))
        throw std::bad_alloc(); // the packet reader lets no blank name through
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
    kvr_params_list_item* const item = new_item(ansi_name, v);
    if (!item) throw std::bad_alloc();
    if (!kvr_list_append_item(&list, item)) {
        kvr_item_free(item);
        throw std::bad_alloc();
    }
}

void set_text(Value& value, std::string_view text) {
    if (auto* held = std::get_if<std::string>(&value))
        held->assign(text);
    else
        value = std::string(text);
}

// UTF-8 of an OLE string into `value`, reusing the text it holds.
void set_text_of_bstr(Value& value, BSTR text) {
    const int length = text ? int(SysStringLen(text)) : 0;
    if (length == 0) return set_text(value, {});
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (!std::holds_alternative<std::string>(value)) value = std::string();
    std::string& held = std::get<std::string>(value);
    held.resize(std::size_t(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, length, held.data(), bytes, nullptr, nullptr);
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
    if (is_ascii(text)) return std::string(text);
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
    if (is_ascii(text)) return std::string(text);
    const std::wstring wide = wide_from(CP_ACP, text);
    return narrow_to(CP_UTF8, wide.data(), int(wide.size()));
}

BSTR bstr_from_utf8(std::string_view text) {
    if (text.empty()) return SysAllocStringLen(nullptr, 0);
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, UINT(length));
    if (result) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), result, length);
    return result;
}

void add_utf8_text(kvr_params_list* list, const char* name, std::string_view text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = bstr_from_utf8(text);
    kvr_list_add(list, name, &value);
    VariantClear(&value);
}

std::string utf8_from_bstr(BSTR text) {
    return text ? narrow_to(CP_UTF8, text, int(SysStringLen(text))) : std::string();
}

ListOutcome packet_list(const Packet& packet) {
    ListOutcome outcome{new_list(packet.several_rows), {}};
    if (auto problem = fill_packet_list(packet, *outcome.list)) return {nullptr, *problem};
    return outcome;
}

void empty_list(kvr_params_list& list) {
    for (std::int32_t i = 0; i < list.Count; ++i) {
        kvr_params_list_item* item = list.Items[i];
        list.Items[i] = nullptr;
        kvr_item_free(item);
    }
    list.Count = 0;
}

std::optional<std::string> fill_packet_list(const Packet& packet, kvr_params_list& list) {
    empty_list(list);
    try {
        for (const Row& row : packet.rows) {
            for (const NamedValue& item : row) {
                if (is_ascii(item.name)) {
                    add_value(list, item.name, item.value);
                    continue;
                }
                const std::optional<std::string> name = ansi_from_utf8(item.name);
                if (!name) {
                    empty_list(list);
                    return "the name \"" + item.name + "\" has no form in the ANSI code page";
                }
                add_value(list, *name, item.value);
            }
            if (packet.several_rows && !kvr_list_add_null(&list, KVR_ROW_SEPARATOR))
                throw std::bad_alloc();
        }
    } catch (...) {
        empty_list(list);
        throw;
    }
    return std::nullopt;
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
    list_items(list, items);
    return items;
}

void list_items(const kvr_params_list& list, std::vector<NamedValue>& items) {
    std::size_t count = 0;
    for (int32_t i = 0; i < list.Count; ++i) {
        const kvr_params_list_item* item = list.Items[i];
        if (!item) continue;
        if (count == items.size()) items.emplace_back();
        NamedValue& into = items[count++];
        const std::string_view name(item->Name ? item->Name : "",
                                    std::size_t(kvr_ansi_length(item->Name)));
        if (is_ascii(name))
            into.name.assign(name);
        else
            into.name = utf8_from_ansi(name);
        if (item->Value.vt == VT_BSTR)
            set_text_of_bstr(into.value, item->Value.bstrVal);
        else
            into.value = host_value(item->Value);
    }
    items.resize(count);
}

} // namespace kvrhost
