#pragma once
// The combined records a plug-in hands back, written as JSON lines or as CSV.

#include "kvrhost/core/packet.h"

#include <ostream>
#include <string>
#include <vector>

namespace kvrhost {

// One record: the items of one row, in the row's order.
using Record = std::vector<NamedValue>;

// Splits the items of a rows list into records at the row separators, which are dropped. The
// items after the last separator form a last record; rows without items give no record.
std::vector<Record> split_records(std::vector<NamedValue> items);

// A record as one JSON object text (no line end), its members in the record's order, names
// repeated when the record repeats them. Doubles keep a fraction or an exponent ("40.0") so
// that they read back as numbers of the same kind; a double that is not finite gives null.
std::string record_json(const Record& record);

// One CSV field per RFC 4180: quoted, with its quotes doubled, when it holds a comma, a quote,
// CR or LF. Null gives an empty field and the empty string a quoted empty field, so that the two
// stay apart; booleans give true/false and numbers their JSON text.
std::string csv_field(const Value& value);
// A name as a CSV header field.
std::string csv_name(const std::string& name);

// Writes records to a stream and flushes after each one, so a reader of a live source sees
// every record as soon as it is produced.
class RecordWriter {
  public:
    virtual ~RecordWriter() = default;
    // Writes one record. Answers the names of the items that could not be written with it.
    virtual std::vector<std::string> write(const Record& record) = 0;
};

// One JSON object per line, lines ending in "\n".
class JsonLinesWriter final : public RecordWriter {
  public:
    explicit JsonLinesWriter(std::ostream& out) : out_(out) {}
    std::vector<std::string> write(const Record& record) override;

  private:
    std::ostream& out_;
};

// CSV with CR LF line ends. The header is the first record's names; later records are placed
// under the header by name (ASCII case ignored, a repeated name takes the next column of that
// name), missing columns stay empty, and names without a column are answered as not written.
class CsvWriter final : public RecordWriter {
  public:
    explicit CsvWriter(std::ostream& out) : out_(out) {}
    std::vector<std::string> write(const Record& record) override;

  private:
    std::ostream& out_;
    std::vector<std::string> columns_;
};

} // namespace kvrhost
