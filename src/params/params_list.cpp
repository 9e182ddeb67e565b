#include "params/params_list.h"

#include "common/errors.h"

#include <new>

namespace kvr {

namespace {

constexpr const char* kUnitPath = "kvrShared\\Public\\Common\\kvrParamLst";

void check_tag(const kvr_params_list* list, int line) {
    kvr_assert(list->Magic == KVR_PARAMS_MAGIC, kUnitPath, line);
}

std::string ascii_lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
    return lower;
}

// Stores `value` in `target` with every kind of string turned into an OLE string.
void store_with_ole_strings(VARIANT& target, const VARIANT& value) {
    VARIANT copy;
    if (FAILED(kvr_variant_copy(&copy, &value))) throw EConvertError("cannot copy value");
    kvr_variant_ansi_to_ole(&copy);
    kvr_variant_clear(&target);
    target = copy;
}

} // namespace

// ---- Values and strings ---------------------------------------------------------------------

namespace {
// Types whose whole value lies in the VARIANT itself: a plain copy is VariantCopy's copy.
bool is_plain_value(VARTYPE type) {
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ERROR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}
} // namespace

void copy_variant(VARIANT& target, const VARIANT& source) {
    if (is_plain_value(source.vt)) {
        if (!is_plain_value(target.vt)) kvr_variant_clear(&target);
        target = source;
        return;
    }
    VARIANT copy;
    if (FAILED(kvr_variant_copy(&copy, &source))) throw EConvertError("cannot copy value");
    kvr_variant_clear(&target);
    target = copy;
}

kvr_ansi_string share_ansi(kvr_ansi_string text) {
    if (!text) return nullptr;
    auto* refcount = reinterpret_cast<LONG*>(text - KVR_ANSI_HEADER);
    if (*refcount != KVR_ANSI_CONSTANT_REFCOUNT) InterlockedIncrement(refcount);
    return text;
}

// ---- Variant --------------------------------------------------------------------------------

Variant::Variant(const VARIANT& source) {
    if (FAILED(kvr_variant_copy(&value_, &source))) throw EConvertError("cannot copy value");
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant::Variant(Variant&& other) noexcept : value_(other.value_) {
    VariantInit(&other.value_);
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        kvr_variant_clear(&value_);
        value_ = other.value_;
        VariantInit(&other.value_);
    }
    return *this;
}

Variant Variant::null() {
    Variant v;
    v.value_.vt = VT_NULL;
    return v;
}

Variant Variant::integer(int32_t number) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = number;
    return v;
}

Variant Variant::boolean(bool flag) {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::real(double number) {
    Variant v;
    v.value_.vt = VT_R8;
    v.value_.dblVal = number;
    return v;
}

Variant Variant::text(std::string_view ansi) {
    Variant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = kvr_bstr_from_ansi(ansi.data(), int32_t(ansi.size()));
    if (!v.value_.bstrVal) throw std::bad_alloc();
    return v;
}

Variant Variant::wide_text(std::wstring_view text) {
    Variant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!v.value_.bstrVal) throw std::bad_alloc();
    return v;
}

Variant Variant::ansi_string(std::string_view ansi) {
    Variant v;
    v.value_.vt = KVR_VT_ANSI_STRING;
    v.value_.byref = kvr_ansi_new(ansi.data(), int32_t(ansi.size()));
    return v;
}

bool Variant::is_string() const {
    return value_.vt == VT_BSTR || value_.vt == KVR_VT_ANSI_STRING;
}

std::wstring Variant::to_wide() const {
    if (value_.vt == VT_BSTR) return std::wstring(value_.bstrVal, SysStringLen(value_.bstrVal));
    if (value_.vt == VT_EMPTY || value_.vt == VT_NULL) return {};
    Variant ole(*this);
    kvr_variant_ansi_to_ole(&ole.value_);
    if (ole.value_.vt != VT_BSTR &&
        FAILED(VariantChangeType(&ole.value_, &ole.value_, VARIANT_ALPHABOOL, VT_BSTR)))
        throw EConvertError("Could not convert variant to string");
    return std::wstring(ole.value_.bstrVal, SysStringLen(ole.value_.bstrVal));
}

std::string Variant::to_ansi() const {
    if (value_.vt == KVR_VT_ANSI_STRING) {
        const char* s = kvr_variant_ansi(&value_);
        return std::string(s ? s : "", size_t(kvr_ansi_length(s)));
    }
    const std::wstring wide = to_wide();
    if (wide.empty()) return {};
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string result(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), result.data(), bytes, nullptr,
                        nullptr);
    return result;
}

namespace {
Variant changed_to(const Variant& source, VARTYPE type, const char* what) {
    Variant result(source);
    kvr_variant_ansi_to_ole(&result.get());
    if (FAILED(VariantChangeType(&result.get(), &result.get(), 0, type)))
        throw EConvertError(std::string("Could not convert variant to ") + what);
    return result;
}
} // namespace

int32_t Variant::to_int() const {
    if (value_.vt == VT_I4) return value_.lVal;
    return changed_to(*this, VT_I4, "Integer").get().lVal;
}

intptr_t Variant::to_handle() const {
#ifdef _WIN64
    if (value_.vt == VT_I8) return intptr_t(value_.llVal);
    if (value_.vt == VT_UI8) return intptr_t(value_.ullVal);
#endif
    return intptr_t(to_int()); // sign-extended, as 32-bit handle values are
}

double Variant::to_double() const {
    if (value_.vt == VT_R8) return value_.dblVal;
    return changed_to(*this, VT_R8, "Double").get().dblVal;
}

bool Variant::to_bool() const {
    if (value_.vt == VT_BOOL) return value_.boolVal != VARIANT_FALSE;
    return changed_to(*this, VT_BOOL, "Boolean").get().boolVal != VARIANT_FALSE;
}

// ---- Items ----------------------------------------------------------------------------------

TkvrParamsListItem* TkvrParamsListItem::Create(std::string_view name, const VARIANT& value) {
    auto* item = kvr_item_new(name.data(), int32_t(name.size()), &value);
    if (!item) throw std::bad_alloc();
    return from(item);
}

void TkvrParamsListItem::AssignValue(const VARIANT& value) {
    copy_variant(Value, value);
}

TkvrParamsListItem* TkvrParamsListItem::CopyForOutput() const {
    auto* copy = static_cast<kvr_params_list_item*>(kvr_heap_alloc(sizeof(kvr_params_list_item)));
    if (!copy) throw std::bad_alloc();
    copy->Class = &kvr_params_list_item_class;
    VariantInit(&copy->Value);
    try {
        copy_variant(copy->Value, Value);
    } catch (...) {
        kvr_heap_free(copy);
        throw;
    }
    kvr_variant_ansi_to_ole(&copy->Value);
    copy->Name = share_ansi(Name);
    copy->LowerName = share_ansi(LowerName);
    copy->State = 2;
    return from(copy);
}

// ---- Lists ----------------------------------------------------------------------------------

TkvrParamsList* TkvrParamsList::Create(bool rows) {
    auto* list = kvr_list_new(rows ? 1 : 0);
    if (!list) throw std::bad_alloc();
    return from(list);
}

TkvrParamsListItem* TkvrParamsList::GetItem(int32_t index) const {
    if (index < 0 || index >= Count) return nullptr;
    return TkvrParamsListItem::from(Items[index]);
}

int32_t TkvrParamsList::IndexOfName(std::string_view name, int32_t StartIndex,
                                    int32_t EndIndex) const {
    check_tag(this, __LINE__);
    if (Count == 0) return -1;
    const std::string query = ascii_lower(name);
    const int32_t first = StartIndex < 0 ? 0 : StartIndex;
    const int32_t last = (EndIndex >= 0 && EndIndex < Count) ? EndIndex : Count - 1;
    for (int32_t i = first; i <= last; ++i) {
        const kvr_params_list_item* item = Items[i];
        const int32_t length = kvr_ansi_length(item->LowerName);
        if (size_t(length) == query.size() &&
            (length == 0 || std::memcmp(item->LowerName, query.data(), query.size()) == 0))
            return i;
        if (EndIndex == -2 && is_row_separator(item)) return -1;
    }
    return -1;
}

TkvrParamsListItem* TkvrParamsList::FindItem(std::string_view name, int32_t StartIndex,
                                             int32_t EndIndex) const {
    if (Count == 0) return nullptr;
    return GetItem(IndexOfName(name, StartIndex, EndIndex));
}

Variant TkvrParamsList::GetValue(std::string_view name, int32_t StartIndex,
                                 int32_t EndIndex) const {
    const TkvrParamsListItem* item = FindItem(name, StartIndex, EndIndex);
    return item ? Variant(item->Value) : Variant();
}

TkvrParamsListItem* TkvrParamsList::AddValue(std::string_view name, const VARIANT& value) {
    if (kvr_name_is_blank(name.data(), int32_t(name.size()))) return nullptr;
    TkvrParamsListItem* item = TkvrParamsListItem::Create(name, value);
    kvr_variant_ansi_to_ole(&item->Value);
    item->State = 2;
    if (!kvr_list_append_item(this, item)) {
        TkvrParamsListItem::Destroy(item);
        throw std::bad_alloc();
    }
    return item;
}

TkvrParamsListItem* TkvrParamsList::SetValue(std::string_view name, const VARIANT& value,
                                             bool CreateIfMissing) {
    TkvrParamsListItem* item = FindItem(name);
    if (!item && CreateIfMissing) item = AddValue(name, Variant::null());
    if (!item) return nullptr;
    store_with_ole_strings(item->Value, value);
    return item;
}

TkvrParamsListItem* TkvrParamsList::AddItemCopy(const kvr_params_list_item* item) {
    if (!item) return nullptr;
    return AddValue(std::string_view(item->Name, size_t(kvr_ansi_length(item->Name))), item->Value);
}

bool TkvrParamsList::AppendList(const kvr_params_list* source) {
    if (!source) return false;
    check_tag(source, __LINE__);
    if (source->Count == 0) return false;
    // Copy the count first: appending a list to itself must not run forever.
    const int32_t count = source->Count;
    for (int32_t i = 0; i < count; ++i)
        AddItemCopy(source->Items[i]);
    return true;
}

void TkvrParamsList::AddRowSeparator() {
    AddValue(KVR_ROW_SEPARATOR, Variant::null());
}

void TkvrParamsList::AppendRow(const kvr_params_list* source) {
    if (!AppendList(source)) return;
    if (!is_row_separator(source->Items[source->Count - 1])) AddRowSeparator();
}

void TkvrParamsList::ClearItems() {
    for (int32_t i = 0; i < Count; ++i) {
        kvr_params_list_item* item = Items[i];
        put_slot(i, nullptr);
        kvr_item_free(item);
    }
    Count = 0;
}

void TkvrParamsList::Reserve(int32_t count) {
    if (count <= Capacity) return;
    const size_t bytes = size_t(count) * sizeof(kvr_params_list_item*);
    void* items = Items ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, Items, bytes)
                        : kvr_heap_alloc(bytes);
    if (!items) throw std::bad_alloc();
    Items = static_cast<kvr_params_list_item**>(items);
    Capacity = count;
}

void TkvrParamsList::Append(TkvrParamsListItem* item) {
    if (!kvr_list_append_item(this, item)) {
        TkvrParamsListItem::Destroy(item);
        throw std::bad_alloc();
    }
}

void TkvrParamsList::put_slot(int32_t index, kvr_params_list_item* item) {
    kvr_assert(index >= 0 && index < Count, kUnitPath, __LINE__);
    Items[index] = item;
}

void TkvrParamsList::Clear() {
    for (int32_t i = 0; i < Count; ++i) {
        kvr_params_list_item* item = Items[i];
        put_slot(i, nullptr);
        kvr_item_free(item);
    }
    kvr_heap_free(Items);
    Items = nullptr;
    Count = 0;
    Capacity = 0;
}

} // namespace kvr
