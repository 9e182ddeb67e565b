#include "kvrhost/core/parser_items.h"

#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/packet.h"
#include "kvrhost/core/run_report.h"

#include <array>
#include <stdexcept>

namespace kvrhost {

namespace {

constexpr std::array<std::string_view, 17> kValueTypeNames = {
    "String", "Memo", "Bytes",    "Blob",  "Boolean", "Float",    "Smallint", "Word",    "Integer",
    "Date",   "Time", "DateTime", "DWord", "Byte",    "Shortint", "Int64",    "Currency"};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return lower;
}

} // namespace

std::optional<std::string> value_type_name(std::string_view text) {
    for (const std::string_view name : kValueTypeNames)
        if (same_name(name, text)) return std::string(name);
    return std::nullopt;
}

std::optional<std::string> item_name_problem(std::string_view name) {
    if (trimmed(name).empty()) return "an item has an empty name";
    if (name.find_first_of("|\r\n") != std::string_view::npos)
        return "the item name \"" + std::string(name) + "\" holds \"|\" or a line break";
    return std::nullopt;
}

std::vector<ParserItem> read_items_file(std::istream& in, const std::string& label) {
    std::vector<ParserItem> items;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::string_view text = trimmed(line);
        if (text.empty()) continue;
        const auto fail = [&](const std::string& reason) {
            throw std::runtime_error(label + ":" + std::to_string(number) + ": " + reason);
        };
        ParserItem item{std::string(text), {}};
        if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
            const std::string_view type = trimmed(text.substr(colon + 1));
            const std::optional<std::string> canonical = value_type_name(type);
            if (!canonical) fail("unknown value type \"" + std::string(type) + "\"");
            item = {std::string(trimmed(text.substr(0, colon))), *canonical};
        }
        if (const auto problem = item_name_problem(item.name)) fail(*problem);
        items.push_back(std::move(item));
    }
    return items;
}

std::string items_text(const std::vector<ParserItem>& items) {
    std::string text;
    for (const ParserItem& item : items) {
        if (!text.empty()) text += "\r\n";
        text += item.name + "|" + item.name;
        if (!item.type.empty()) text += "|" + item.type;
    }
    return text;
}

std::vector<ParserItem> items_from_stream(std::istream& in, std::vector<std::string>& unusable,
                                          std::size_t block_bytes) {
    SeenNames seen;
    LineReader reader(in, kMaxLineBytes, block_bytes);
    while (const std::optional<InputLine> line = reader.next()) {
        const PacketOutcome outcome = packet_from_line(*line);
        if (!outcome.packet) continue;
        for (const Row& row : outcome.packet->rows)
            for (const NamedValue& item : row)
                seen.add(item.name);
    }
    std::vector<ParserItem> items;
    for (const std::string& name : seen.names()) {
        if (item_name_problem(name))
            unusable.push_back(name);
        else
            items.push_back({name, {}});
    }
    return items;
}

bool SeenNames::add(std::string_view name) {
    if (!lowered_.insert(lowered(name)).second) return false;
    names_.emplace_back(name);
    return true;
}

} // namespace kvrhost
