#pragma once
// The combined records a plug-in hands back, written as JSON lines or as CSV.

#include "kvrhost/core/packet.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace kvrhost {

// One record: the items of one row, in the row's order.
using Record = std::vector<NamedValue>;

// Calls visit(std::span<const NamedValue>) for each record of the items of a rows list, in
// place: records end at the row separators, which are dropped. The items after the last
// separator form a last record; rows without items give no record.
template <class Visit> void for_each_record(std::span<const NamedValue> items, Visit&& visit) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= items.size(); ++i) {
        if (i < items.size() && items[i].name != kRowSeparator) continue;
        if (i > start) visit(items.subspan(start, i - start));
        start = i + 1;
    }
}

// The records of for_each_record as copies.
std::vector<Record> split_records(std::vector<NamedValue> items);

// A record as one JSON object text (no line end), its members in the record's order, names
// repeated when the record repeats them. Doubles keep a fraction or an exponent ("40.0") so
// that they read back as numbers of the same kind; a double that is not finite gives null.
std::string record_json(const Record& record);
// The same, appended to `text`.
void append_record_json(std::span<const NamedValue> record, std::string& text);

// One CSV field per RFC 4180: quoted, with its quotes doubled, when it holds a comma, a quote,
// CR or LF. Null gives an empty field and the empty string a quoted empty field, so that the two
// stay apart; booleans give true/false and numbers their JSON text.
std::string csv_field(const Value& value);
// A name as a CSV header field.
std::string csv_name(const std::string& name);

// Writes records to a stream, one write per record; flushing is the caller's (a live reader
// wants the records soon, not one write each).
class RecordWriter {
  public:
    virtual ~RecordWriter() = default;
    // Writes one record. Answers the names of the items that could not be written with it.
    virtual std::vector<std::string> write(std::span<const NamedValue> record) = 0;
    std::vector<std::string> write(const Record& record) {
        return write(std::span<const NamedValue>(record));
    }
};

// One JSON object per line, lines ending in "\n".
class JsonLinesWriter final : public RecordWriter {
  public:
    explicit JsonLinesWriter(std::ostream& out) : out_(out) {}
    using RecordWriter::write;
    std::vector<std::string> write(std::span<const NamedValue> record) override;

  private:
    std::ostream& out_;
    std::string line_;
};

// CSV with CR LF line ends. The header is the first record's names; later records are placed
// under the header by name (ASCII case ignored, a repeated name takes the next column of that
// name), missing columns stay empty, and names without a column are answered as not written.
class CsvWriter final : public RecordWriter {
  public:
    explicit CsvWriter(std::ostream& out) : out_(out) {}
    using RecordWriter::write;
    std::vector<std::string> write(std::span<const NamedValue> record) override;

  private:
    std::ostream& out_;
    std::vector<std::string> columns_;
    std::vector<std::string> fields_;
    std::vector<bool> taken_;
    std::string line_;
};

} // namespace kvrhost
