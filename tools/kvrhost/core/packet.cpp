#include "kvrhost/core/packet.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace kvrhost {

namespace {

using json = nlohmann::json;

// Largest magnitude up to which every integer has an exact double.
constexpr std::int64_t kExactDoubleLimit = std::int64_t(1) << 53;

std::string quoted_name(std::string_view name) {
    return json(std::string(name)).dump(-1, ' ', false, json::error_handler_t::replace);
}

// The parser's message without its "[json.exception...] " tag, and with "parse error at line 1,
// column N: " turned into "at column N: ".
std::string malformed_reason(std::string what) {
    if (what.starts_with("[json.exception.")) {
        if (const std::size_t end = what.find("] "); end != std::string::npos)
            what.erase(0, end + 2);
    }
    const std::string marker = "column ";
    const std::size_t at = what.find(marker);
    const std::size_t colon = at == std::string::npos ? at : what.find(": ", at);
    if (colon == std::string::npos) return "malformed JSON: " + what;
    const std::string column = what.substr(at + marker.size(), colon - at - marker.size());
    return "malformed JSON at column " + column + ": " + what.substr(colon + 2);
}

// Builds a packet from the parser's events and stops at the first thing a packet cannot hold.
// The packet's rows and items are filled in place, so a packet parsed before lends its storage.
class PacketBuilder final : public nlohmann::json_sax<json> {
  public:
    PacketBuilder(std::size_t max_items, Packet& packet) : packet_(packet), max_items_(max_items) {
        packet_.several_rows = false;
    }
    // Answers the reason for refusal, or nothing when the packet is whole.
    const std::string& finish() {
        packet_.rows.resize(rows_);
        return error_;
    }

    bool null() override { return add_value(Null{}); }
    bool boolean(bool value) override { return add_value(value); }
    bool number_integer(number_integer_t value) override { return add_integer(value, false); }
    bool number_unsigned(number_unsigned_t value) override {
        if (value > number_unsigned_t(std::numeric_limits<std::int64_t>::max()))
            return add_integer(0, true);
        return add_integer(std::int64_t(value), false);
    }
    bool number_float(number_float_t value, const string_t& written) override {
        // The parser hands integers beyond 64 bits over as doubles.
        if (written.find_first_of(".eE") == std::string::npos) return add_integer(0, true);
        return add_value(double(value));
    }
    bool string(string_t& value) override {
        NamedValue* item = next_item();
        if (!item) return false;
        if (auto* text = std::get_if<std::string>(&item->value))
            text->swap(value); // the parser reuses the storage it gets back
        else
            item->value = std::move(value);
        return true;
    }
    bool binary(binary_t&) override { return fail("binary values are not supported"); }

    bool start_object(std::size_t) override {
        if (depth_ == 0 || (depth_ == 1 && packet_.several_rows)) {
            if (rows_ == packet_.rows.size()) packet_.rows.emplace_back();
            ++rows_;
            items_in_row_ = 0;
            in_row_ = true;
            ++depth_;
            return true;
        }
        return fail(value_kind_error("an object"));
    }
    bool key(string_t& name) override {
        if (name.empty() || is_blank_line(name)) return fail("an item has an empty name");
        if (name.find('\0') != std::string::npos)
            return fail("the name " + quoted_name(name) + " holds a NUL character");
        if (name == kRowSeparator)
            return fail("the name " + std::string(kRowSeparator) + " is reserved for row ends");
        if (++items_ > max_items_)
            return fail("more than " + std::to_string(max_items_) + " items in one packet");
        key_.swap(name);
        return true;
    }
    bool end_object() override {
        packet_.rows[rows_ - 1].resize(items_in_row_);
        in_row_ = false;
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        if (depth_ == 0) {
            packet_.several_rows = true;
            ++depth_;
            return true;
        }
        return fail(value_kind_error("an array"));
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& error) override {
        if (error.id == 406) return fail("the number for " + quoted_name(key_) + " is too large");
        return fail(malformed_reason(error.what()));
    }

  private:
    bool add_integer(std::int64_t value, bool beyond_range) {
        if (!beyond_range && value >= std::numeric_limits<std::int32_t>::min() &&
            value <= std::numeric_limits<std::int32_t>::max())
            return add_value(std::int32_t(value));
        if (!beyond_range && value >= -kExactDoubleLimit && value <= kExactDoubleLimit)
            return add_value(double(value));
        return fail("the integer for " + quoted_name(key_) +
                    " is beyond 2^53 and would not arrive unchanged");
    }

    // The row's next item, named by the last key; its value is the caller's to set.
    NamedValue* next_item() {
        if (!in_row_) {
            fail(value_kind_error("a plain value"));
            return nullptr;
        }
        Row& row = packet_.rows[rows_ - 1];
        if (items_in_row_ == row.size()) row.emplace_back();
        NamedValue& item = row[items_in_row_++];
        item.name.swap(key_);
        key_.clear();
        return &item;
    }

    bool add_value(Value value) {
        NamedValue* item = next_item();
        if (!item) return false;
        item->value = std::move(value);
        return true;
    }

    // Why a value of this kind cannot stand where it was found.
    std::string value_kind_error(const std::string& kind) const {
        if (in_row_)
            return "the value of " + quoted_name(key_) + " is " + kind +
                   "; only numbers, strings, booleans and null are passed";
        if (packet_.several_rows)
            return "row " + std::to_string(rows_ + 1) + " is " + kind + ", not an object";
        return "a packet is a JSON object or an array of objects, not " + kind;
    }

    bool fail(std::string reason) {
        if (error_.empty()) error_ = std::move(reason);
        return false;
    }

    Packet& packet_;
    std::string key_;
    std::string error_;
    std::size_t rows_ = 0;         // rows begun so far
    std::size_t items_in_row_ = 0; // items of the current row so far
    std::size_t items_ = 0;
    const std::size_t max_items_;
    int depth_ = 0;
    bool in_row_ = false;
};

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

std::size_t Packet::item_count() const {
    std::size_t count = 0;
    for (const Row& row : rows)
        count += row.size();
    return count;
}

PacketOutcome parse_packet_line(std::string_view line, std::size_t max_items) {
    PacketOutcome outcome;
    parse_packet_line(line, outcome, max_items);
    return outcome;
}

void parse_packet_line(std::string_view line, PacketOutcome& outcome, std::size_t max_items) {
    if (!outcome.packet) outcome.packet.emplace();
    PacketBuilder builder(max_items, *outcome.packet);
    json::sax_parse(line.begin(), line.end(), &builder);
    outcome.error = builder.finish();
    if (!outcome.error.empty()) outcome.packet.reset();
}

bool is_blank_line(std::string_view line) {
    for (const char c : line)
        if (static_cast<unsigned char>(c) > 32) return false;
    return true;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

std::optional<double> number_field(const Packet& packet, std::string_view field) {
    for (const Row& row : packet.rows)
        for (const NamedValue& item : row)
            if (same_name(item.name, field)) {
                if (const auto* i = std::get_if<std::int32_t>(&item.value)) return double(*i);
                if (const auto* d = std::get_if<double>(&item.value)) return *d;
                return std::nullopt;
            }
    return std::nullopt;
}

} // namespace kvrhost
