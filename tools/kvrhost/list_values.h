#pragma once
// Packets into parameter lists and rows lists back into values, with the text conversions
// between the host's UTF-8 and the module's 8-bit ANSI names and OLE strings.

#include "kvrhost/core/packet.h"

#include <kvr/plugin_abi.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvrhost {

struct ListFree {
    void operator()(kvr_params_list* list) const { kvr_list_free(list); }
};
// A parameter list the host made and frees.
using OwnedList = std::unique_ptr<kvr_params_list, ListFree>;

// Makes an empty list (a rows list when `rows`); throws std::bad_alloc without memory.
OwnedList new_list(bool rows);

// UTF-8 text in the ANSI code page; nothing when a character has no exact form there.
std::optional<std::string> ansi_from_utf8(std::string_view text);
// ANSI code page text as UTF-8.
std::string utf8_from_ansi(std::string_view text);
// An OLE string of UTF-8 text (NUL characters included); the caller frees it.
BSTR bstr_from_utf8(std::string_view text);
// Appends an item whose value is the OLE string of UTF-8 text (the module reads it in its own
// code page).
void add_utf8_text(kvr_params_list* list, const char* name, std::string_view text);
// UTF-8 of an OLE string; a null string gives "".
std::string utf8_from_bstr(BSTR text);

// The packet as the list handed to ProcessData: the items of each row in order, names in the
// ANSI code page; an array's rows each closed by a row separator in a rows list, an object's
// single row in a plain list. Integers go as VT_I4, doubles as VT_R8, text as VT_BSTR,
// booleans as VT_BOOL and null as VT_NULL. Answers the reason instead when a name has no
// ANSI form.
struct ListOutcome {
    OwnedList list;
    std::string error;
};
ListOutcome packet_list(const Packet& packet);
// The same into `list`, emptied first (its item array is kept for the next packet). Answers the
// reason when a name has no ANSI form, or nothing; the list is then left empty.
std::optional<std::string> fill_packet_list(const Packet& packet, kvr_params_list& list);
// Frees every item of a list the host made and keeps its item array.
void empty_list(kvr_params_list& list);

// A value of a list as a host value: integer types that fit 32 bits as integers, other numbers
// as doubles, OLE strings as UTF-8, VT_EMPTY and VT_NULL as null; any other type as its text.
Value host_value(const VARIANT& value);

// The items of a list, row separators included, names as UTF-8.
std::vector<NamedValue> list_items(const kvr_params_list& list);
// The same into `items`, whose elements (and their texts) are reused.
void list_items(const kvr_params_list& list, std::vector<NamedValue>& items);

} // namespace kvrhost
