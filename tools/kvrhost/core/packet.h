#pragma once
// Data packets as the host reads them from JSON lines, before they become parameter lists.
//
// One line holds one packet: a JSON object of name -> value (one row), or an array of such
// objects (several rows). Values are numbers, strings, booleans or null. Text is UTF-8 here;
// the Windows side converts names and strings when it builds the lists.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kvrhost {

// The null value (JSON null, VT_NULL).
struct Null {
    bool operator==(const Null&) const = default;
};

// One value: null, a boolean, a 32-bit integer (VT_I4), a double (VT_R8) or UTF-8 text.
using Value = std::variant<Null, bool, std::int32_t, double, std::string>;

struct NamedValue {
    std::string name;
    Value value;
    bool operator==(const NamedValue&) const = default;
};

using Row = std::vector<NamedValue>;

// Name of the item that ends a row inside a parameter list.
inline constexpr std::string_view kRowSeparator = "$NEW_ROW$";

// The most items one packet may carry; a longer packet is refused. Far above any real
// packet, it only keeps a runaway line from exhausting memory.
inline constexpr std::size_t kMaxPacketItems = 1000000;

struct Packet {
    std::vector<Row> rows;
    // True when the line was an array: every row is then closed by a row separator and the
    // packet travels as a rows list. A single object is one open row in a plain list.
    bool several_rows = false;

    std::size_t item_count() const;
    bool operator==(const Packet&) const = default;
};

// A packet, or the reason why the line does not hold one.
struct PacketOutcome {
    std::optional<Packet> packet;
    std::string error; // set exactly when packet is empty
};

// Reads one line (without its line end) as a packet. Integers within the signed 32-bit range
// become std::int32_t; other integers up to 2^53 in magnitude, and every number written with
// a fraction or an exponent, become double. Refused, with a reason: malformed JSON, a line that
// is not an object or an array of objects, nested objects or arrays as values, empty or blank
// names, names with a NUL character, the row separator's name, integers beyond 2^53 in
// magnitude (they would not arrive unchanged), numbers out of the range of double, and more
// than max_items items. Names may repeat; every item is kept in line order.
PacketOutcome parse_packet_line(std::string_view line, std::size_t max_items = kMaxPacketItems);
// The same into `outcome`, whose storage is reused: a stream of packets of one shape makes no
// new rows, items or short texts after its first line.
void parse_packet_line(std::string_view line, PacketOutcome& outcome,
                       std::size_t max_items = kMaxPacketItems);

// True for a line that holds only blanks (codes 0 to 32): such lines carry no packet.
bool is_blank_line(std::string_view line);

// The value of the packet's first item named field (ASCII case ignored) when it is a number
// (integer or double); nothing when there is no such item or its value is not a number.
std::optional<double> number_field(const Packet& packet, std::string_view field);

// True when a and b are equal once ASCII letters are folded to one case.
bool same_name(std::string_view a, std::string_view b);

} // namespace kvrhost
