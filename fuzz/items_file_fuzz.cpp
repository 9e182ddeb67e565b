// kvrhost's items file reader on any bytes: it either names the line it refuses, or answers
// items whose names can travel in a SET-ITEMS text, whose types are spelled as the module
// knows them, and whose SET-ITEMS text splits back into the same items. The names gathered
// from a packet stream obey the same rules.

#include "fuzz_check.h"

#include "kvrhost/core/parser_items.h"

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using namespace kvrhost;

namespace {

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + separator.size());
    }
}

void check_items_text(const std::vector<ParserItem>& items) {
    const std::string text = items_text(items);
    if (items.empty()) {
        KVR_FUZZ_CHECK(text.empty());
        return;
    }
    const std::vector<std::string> lines = split(text, "\r\n");
    KVR_FUZZ_CHECK(lines.size() == items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::vector<std::string> fields = split(lines[i], "|");
        KVR_FUZZ_CHECK(fields.size() == (items[i].type.empty() ? 2u : 3u));
        KVR_FUZZ_CHECK(fields[0] == items[i].name && fields[1] == items[i].name);
        if (!items[i].type.empty()) KVR_FUZZ_CHECK(fields[2] == items[i].type);
    }
}

std::size_t line_count(std::string_view text) {
    std::size_t lines = 1;
    for (const char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::istringstream file(input);
    try {
        const std::vector<ParserItem> items = read_items_file(file, "items");
        for (const ParserItem& item : items) {
            KVR_FUZZ_CHECK(!item_name_problem(item.name));
            KVR_FUZZ_CHECK(item.type.empty() || value_type_name(item.type) == item.type);
        }
        check_items_text(items);
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        KVR_FUZZ_CHECK(message.starts_with("items:"));
        const std::size_t line = std::stoul(message.substr(6));
        KVR_FUZZ_CHECK(line >= 1 && line <= line_count(input));
    }

    std::istringstream stream(input);
    std::vector<std::string> unusable;
    const std::vector<ParserItem> seen = items_from_stream(stream, unusable, 64);
    SeenNames distinct;
    for (const ParserItem& item : seen) {
        KVR_FUZZ_CHECK(!item_name_problem(item.name) && item.type.empty());
        KVR_FUZZ_CHECK(distinct.add(item.name));
    }
    for (const std::string& name : unusable)
        KVR_FUZZ_CHECK(item_name_problem(name));
    check_items_text(seen);
    return 0;
}
