#pragma once
// Parameter lists shared with the host by pointer. The C++ classes add no data to the
// binary records of kvr/plugin_abi.h: any list or item the host made can be used through
// them, and anything made here is freed by the host with the header's helpers.

#include <kvr/plugin_abi.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace kvr {

// Owns one VARIANT and clears it (8-bit strings included) when it goes.
class Variant {
  public:
    Variant() { VariantInit(&value_); }
    explicit Variant(const VARIANT& source);
    Variant(const Variant& other) : Variant(other.value_) {}
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { kvr_variant_clear(&value_); }

    static Variant null();
    static Variant integer(int32_t number);
    static Variant boolean(bool flag);
    static Variant real(double number);
    static Variant text(std::string_view ansi);        // OLE string from ANSI text
    static Variant wide_text(std::wstring_view text);  // OLE string
    static Variant ansi_string(std::string_view ansi); // the 8-bit runtime string type

    VARTYPE type() const { return value_.vt; }
    bool is_empty_or_null() const { return kvr_variant_is_empty_or_null(&value_); }
    bool is_string() const;
    const VARIANT& get() const { return value_; }
    VARIANT& get() { return value_; }

    // Conversions; they throw EConvertError when the value cannot be converted.
    std::string to_ansi() const;
    std::wstring to_wide() const;
    int32_t to_int() const;
    // A handle carried as an integer: 32-bit, or in a 64-bit build also 64-bit.
    intptr_t to_handle() const;
    double to_double() const;
    bool to_bool() const;

  private:
    VARIANT value_;
};

class TkvrParamsListItem : public kvr_params_list_item {
  public:
    // Makes an item from the heap shared with the host; throws std::bad_alloc.
    static TkvrParamsListItem* Create(std::string_view name, const VARIANT& value);
    static void Destroy(TkvrParamsListItem* item) { kvr_item_free(item); }

    std::string_view GetName() const { return {Name, size_t(kvr_ansi_length(Name))}; }
    std::string_view GetLowerName() const {
        return {LowerName, size_t(kvr_ansi_length(LowerName))};
    }
    const VARIANT& GetValue() const { return Value; }
    // Stores a plain copy of the value; State stays as it is.
    void AssignValue(const VARIANT& value);
    // A new item with the same name strings (shared, not copied) and a copy of the value with
    // 8-bit strings as OLE strings, State 2: what AddItemCopy makes of this item.
    TkvrParamsListItem* CopyForOutput() const;

    static TkvrParamsListItem* from(kvr_params_list_item* item) {
        return static_cast<TkvrParamsListItem*>(item);
    }
};
static_assert(sizeof(TkvrParamsListItem) == sizeof(kvr_params_list_item));

class TkvrParamsList : public kvr_params_list {
  public:
    // Makes a plain list, or with rows = true a rows list; throws std::bad_alloc.
    static TkvrParamsList* Create(bool rows = false);
    // Clears the tag first, so any later check on the list fails, then frees everything.
    static void Destroy(TkvrParamsList* list) { kvr_list_free(list); }
    static TkvrParamsList* from(kvr_params_list* list) {
        return static_cast<TkvrParamsList*>(list);
    }

    bool IsAlive() const { return Magic == KVR_PARAMS_MAGIC; }
    bool IsRowsList() const { return kvr_list_is_rows(this); }
    int32_t GetCount() const { return Count; }
    std::string_view GetListId() const { return {ListId, size_t(kvr_ansi_length(ListId))}; }

    // The item at the index, or null when the index is out of range.
    TkvrParamsListItem* GetItem(int32_t index) const;
    // Index of the first item named `name` (A-Z folded) between StartIndex and EndIndex;
    // EndIndex -1 (or out of range) searches to the end, -2 to the end of the current row.
    // Throws EAssertionFailed on a list whose tag is wrong.
    int32_t IndexOfName(std::string_view name, int32_t StartIndex = 0, int32_t EndIndex = -1) const;
    // The matching item, or null; an empty list answers null without checking the tag.
    TkvrParamsListItem* FindItem(std::string_view name, int32_t StartIndex = 0,
                                 int32_t EndIndex = -1) const;
    // A copy of the first matching value; empty when nothing matches or the list is empty.
    Variant GetValue(std::string_view name, int32_t StartIndex = 0, int32_t EndIndex = -1) const;
    // Appends a named value (8-bit strings become OLE strings); null for a blank name.
    TkvrParamsListItem* AddValue(std::string_view name, const VARIANT& value);
    TkvrParamsListItem* AddValue(std::string_view name, const Variant& value) {
        return AddValue(name, value.get());
    }
    // Replaces the first match's value (strings as OLE strings); with CreateIfMissing a
    // missing name is appended first. Null when nothing was stored.
    TkvrParamsListItem* SetValue(std::string_view name, const VARIANT& value,
                                 bool CreateIfMissing = true);
    TkvrParamsListItem* SetValue(std::string_view name, const Variant& value,
                                 bool CreateIfMissing = true) {
        return SetValue(name, value.get(), CreateIfMissing);
    }
    TkvrParamsListItem* AddItemCopy(const kvr_params_list_item* item);
    // Appends copies of every item of the source; false for no source or an empty one.
    bool AppendList(const kvr_params_list* source);
    void AddRowSeparator();
    // AppendList, then closes the row unless the source already ended with a separator.
    void AppendRow(const kvr_params_list* source);
    void Clear();
    // Frees every item like Clear, but keeps the item array for the items to come.
    void ClearItems();
    // Makes room for `count` items in all without growing the array again.
    void Reserve(int32_t count);
    // Appends an item made elsewhere; the list owns it from then on.
    void Append(TkvrParamsListItem* item);

  private:
    void put_slot(int32_t index, kvr_params_list_item* item);
};
static_assert(sizeof(TkvrParamsList) == sizeof(kvr_params_list));

// Copies a value into target (cleared first); values without storage of their own (numbers,
// booleans, dates, empty and null) are copied as they stand, others as kvr_variant_copy does.
void copy_variant(VARIANT& target, const VARIANT& source);

// Another reference to an 8-bit string (refcounted; constants stay constants).
kvr_ansi_string share_ansi(kvr_ansi_string text);

// True when an item's name is exactly the row separator.
inline bool is_row_separator(const kvr_params_list_item* item) {
    return item && kvr_ansi_length(item->Name) == 9 &&
           std::memcmp(item->Name, KVR_ROW_SEPARATOR, 9) == 0;
}

struct ParamsListDeleter {
    void operator()(TkvrParamsList* list) const { TkvrParamsList::Destroy(list); }
};
// Owns a list made on this side.
using ParamsListPtr = std::unique_ptr<TkvrParamsList, ParamsListDeleter>;

inline ParamsListPtr make_params_list(bool rows = false) {
    return ParamsListPtr(TkvrParamsList::Create(rows));
}

struct ItemDeleter {
    void operator()(TkvrParamsListItem* item) const { TkvrParamsListItem::Destroy(item); }
};
// Owns an item that no list owns.
using ItemPtr = std::unique_ptr<TkvrParamsListItem, ItemDeleter>;

} // namespace kvr
