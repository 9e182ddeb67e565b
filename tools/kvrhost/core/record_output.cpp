#include "kvrhost/core/record_output.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace kvrhost {

namespace {

using json = nlohmann::json;

std::string json_text(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string value_json(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>)
                return "null";
            else if constexpr (std::is_same_v<T, double>)
                return std::isfinite(v) ? json_text(json(v)) : "null";
            else
                return json_text(json(v));
        },
        value);
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
    Record current;
    for (NamedValue& item : items) {
        if (item.name == kRowSeparator) {
            if (!current.empty()) records.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(std::move(item));
        }
    }
    if (!current.empty()) records.push_back(std::move(current));
    return records;
}

std::string record_json(const Record& record) {
    std::string text = "{";
    for (const NamedValue& item : record) {
        if (text.size() > 1) text += ',';
        text += json_text(json(item.name));
        text += ':';
        text += value_json(item.value);
    }
    return text + "}";
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

std::vector<std::string> JsonLinesWriter::write(const Record& record) {
    out_ << record_json(record) << '\n';
    out_.flush();
    return {};
}

std::vector<std::string> CsvWriter::write(const Record& record) {
    if (columns_.empty()) {
        std::string header;
        for (const NamedValue& item : record) {
            columns_.push_back(item.name);
            header += (header.empty() ? "" : ",") + csv_name(item.name);
        }
        out_ << header << "\r\n";
    }
    std::vector<std::string> fields(columns_.size());
    std::vector<bool> taken(columns_.size(), false);
    std::vector<std::string> not_written;
    for (const NamedValue& item : record) {
        std::size_t column = 0;
        while (column < columns_.size() &&
               (taken[column] || !same_name(columns_[column], item.name)))
            ++column;
        if (column < columns_.size()) {
            taken[column] = true;
            fields[column] = csv_field(item.value);
        } else {
            not_written.push_back(item.name);
        }
    }
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + fields[i];
    out_ << line << "\r\n";
    out_.flush();
    return not_written;
}

} // namespace kvrhost
