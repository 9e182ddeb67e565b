#pragma once
// The parser items the host announces to a module with SET-ITEMS: one line per item,
// "Caption|Name|Type", lines joined by CR LF. The host uses the name as the caption.

#include "kvrhost/core/line_reader.h"

#include <istream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kvrhost {

struct ParserItem {
    std::string name;
    std::string type; // one of the value type names in its canonical spelling, or empty
    bool operator==(const ParserItem&) const = default;
};

// The canonical spelling of a value type name (ASCII case ignored), or nothing when the text
// names no value type ("float" gives "Float").
std::optional<std::string> value_type_name(std::string_view text);

// Why a name cannot be announced as a parser item (empty, or holding "|", CR or LF, which
// would split the items text), or nothing when it can.
std::optional<std::string> item_name_problem(std::string_view name);

// Reads an items file: one name per line, optionally followed by ":" and a value type name.
// Lines are trimmed of blanks (codes 0 to 32); empty lines are skipped. Throws
// std::runtime_error "LABEL:LINE: reason" for a line whose name cannot be an item or whose
// type is unknown.
std::vector<ParserItem> read_items_file(std::istream& in, const std::string& label);

// The SET-ITEMS text of the items: "Name|Name" or "Name|Name|Type" per item, joined by CR LF.
std::string items_text(const std::vector<ParserItem>& items);

// Parser items for every distinct name of the packets in a stream of JSON lines (SeenNames'
// rules), without types. Lines that hold no packet are passed over; names that cannot be
// items (item_name_problem) are left out and added to `unusable`. The stream is read
// `block_bytes` at a time.
std::vector<ParserItem> items_from_stream(std::istream& in, std::vector<std::string>& unusable,
                                          std::size_t block_bytes = kReadBlockBytes);

// The distinct names seen in a stream, in order of first appearance; names that differ only
// in the case of ASCII letters count as one, spelled as first seen.
class SeenNames {
  public:
    // Answers true when the name is new.
    bool add(std::string_view name);
    const std::vector<std::string>& names() const { return names_; }

  private:
    std::vector<std::string> names_;
    std::set<std::string> lowered_;
};

} // namespace kvrhost
