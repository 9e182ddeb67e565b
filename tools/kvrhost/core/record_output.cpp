#include "kvrhost/core/record_output.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>

namespace kvrhost {

namespace {

using json = nlohmann::json;

std::string json_text(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Text that JSON carries as it stands between quotes: printable ASCII without quote or
// backslash. Anything else goes through the library's escaping (which also replaces broken
// UTF-8).
bool is_plain_json_text(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') return false;
    }
    return true;
}

void append_json_string(std::string_view value, std::string& text) {
    if (is_plain_json_text(value)) {
        text += '"';
        text += value;
        text += '"';
        return;
    }
    text += json_text(json(std::string(value)));
}

// Numbers, booleans and null as the library writes them.
void append_json_value(const Value& value, std::string& text) {
    std::visit(
        [&text](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) {
                text += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                text += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                char digits[16];
                text.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
            } else if constexpr (std::is_same_v<T, double>) {
                if (!std::isfinite(v)) {
                    text += "null";
                    return;
                }
                char digits[64];
                text.append(digits, nlohmann::detail::to_chars(digits, digits + sizeof digits, v));
            } else {
                append_json_string(v, text);
            }
        },
        value);
}

std::string value_json(const Value& value) {
    std::string text;
    append_json_value(value, text);
    return text;
}

std::string quote_csv(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::vector<Record> split_records(std::vector<NamedValue> items) {
    std::vector<Record> records;
    for_each_record(items, [&records](std::span<const NamedValue> record) {
        records.emplace_back(record.begin(), record.end());
    });
    return records;
}

void append_record_json(std::span<const NamedValue> record, std::string& text) {
    text += '{';
    bool first = true;
    for (const NamedValue& item : record) {
        if (!first) text += ',';
        first = false;
        append_json_string(item.name, text);
        text += ':';
        append_json_value(item.value, text);
    }
    text += '}';
}

std::string record_json(const Record& record) {
    std::string text;
    append_record_json(record, text);
    return text;
}

std::string csv_field(const Value& value) {
    if (std::holds_alternative<Null>(value)) return {};
    if (const auto* text = std::get_if<std::string>(&value))
        return text->empty() ? "\"\"" : quote_csv(*text);
    const std::string number_or_flag = value_json(value);
    return number_or_flag == "null" ? std::string() : number_or_flag;
}

std::string csv_name(const std::string& name) {
    return quote_csv(name);
}

std::vector<std::string> JsonLinesWriter::write(std::span<const NamedValue> record) {
    line_.clear();
    append_record_json(record, line_);
    line_ += '\n';
    out_.write(line_.data(), std::streamsize(line_.size()));
    return {};
}

std::vector<std::string> CsvWriter::write(std::span<const NamedValue> record) {
    if (columns_.empty()) {
        std::string header;
        for (const NamedValue& item : record) {
            columns_.push_back(item.name);
            header += (header.empty() ? "" : ",") + csv_name(item.name);
        }
        out_ << header << "\r\n";
    }
    fields_.assign(columns_.size(), std::string());
    taken_.assign(columns_.size(), false);
    std::vector<std::string> not_written;
    for (const NamedValue& item : record) {
        std::size_t column = 0;
        while (column < columns_.size() &&
               (taken_[column] || !same_name(columns_[column], item.name)))
            ++column;
        if (column < columns_.size()) {
            taken_[column] = true;
            fields_[column] = csv_field(item.value);
        } else {
            not_written.push_back(item.name);
        }
    }
    line_.clear();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i) line_ += ',';
        line_ += fields_[i];
    }
    line_ += "\r\n";
    out_.write(line_.data(), std::streamsize(line_.size()));
    return not_written;
}

} // namespace kvrhost
