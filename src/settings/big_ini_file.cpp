#include "settings/big_ini_file.h"

#include "common/errors.h"
#include "settings/ini_numbers.h"

#include <algorithm>
#include <string>

namespace kvr {

namespace {

constexpr const char* kUnitPath = "src/settings/big_ini_file.cpp";

// Builds a section list straight from the parser, without an intermediate copy.
class SectionListBuilder : public ini::IniTextHandler {
  public:
    explicit SectionListBuilder(TSectionList& target) : target_(target) {}
    void section(std::string_view name) override {
        current_ = &target_.Values(target_.Add(std::string(name)));
    }
    void entry_line(std::string_view line) override { current_->Add(std::string(line)); }

  private:
    TSectionList& target_;
    TSectionValues* current_ = nullptr;
};

bool has_line_break_or_end_mark(std::string_view text) {
    return text.find_first_of("\r\n\x1a") != std::string_view::npos;
}

void reject_unreadable_entry(std::string_view section, std::string_view name,
                             std::string_view value, std::string_view line) {
    const auto reject = [&](const char* why) {
        throw EConvertError("Cannot store entry \"" + std::string(name) + "\" of section \"" +
                            std::string(section) + "\" in an INI file: " + why);
    };
    if (has_line_break_or_end_mark(section) || has_line_break_or_end_mark(name) ||
        has_line_break_or_end_mark(value))
        reject("a line break or end-of-text mark would split the file");
    if (name.find('=') != std::string_view::npos) reject("the name contains \"=\"");
    if (ini::trim_blanks(name).size() != name.size())
        reject("the name begins or ends with a blank or control character");
    if (ini::is_section_header(line)) reject("the line would read as a section header");
}

} // namespace

// --- TSectionValues ---

std::size_t TSectionValues::checked(int index) const {
    kvr_assert(index >= 0 && static_cast<std::size_t>(index) < lines_.size(), kUnitPath, __LINE__);
    return static_cast<std::size_t>(index);
}

std::size_t TSectionValues::EqualsPos(int index) const {
    const std::size_t i = checked(index);
    if (equals_[i] == NotComputed) equals_[i] = lines_[i].find('=');
    return equals_[i];
}

std::string_view TSectionValues::Names(int index) const {
    const std::string_view line = Strings(index);
    return ini::trim_blanks(line.substr(0, EqualsPos(index)));
}

std::string_view TSectionValues::ValueFromIndex(int index) const {
    const std::size_t equals = EqualsPos(index);
    if (equals == NoEquals) return {};
    return ini::trim_blanks(std::string_view(lines_[checked(index)]).substr(equals + 1));
}

int TSectionValues::IndexOfName(std::string_view name, const ini::NameComparer& same_name) const {
    if (last_found_ >= 0 && last_found_ < Count() && same_name(Names(last_found_), name))
        return last_found_;
    for (int index = 0; index < Count(); ++index) {
        if (same_name(Names(index), name)) {
            last_found_ = index;
            return index;
        }
    }
    return -1;
}

void TSectionValues::Add(std::string line) {
    lines_.push_back(std::move(line));
    equals_.push_back(NotComputed);
}

void TSectionValues::Put(int index, std::string line) {
    const std::size_t i = checked(index);
    // A line before the remembered match may now carry its name: forget the match.
    if (index != last_found_) last_found_ = -1;
    lines_[i] = std::move(line);
    equals_[i] = NotComputed;
}

void TSectionValues::Delete(int index) {
    const std::size_t i = checked(index);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    equals_.erase(equals_.begin() + static_cast<std::ptrdiff_t>(i));
    if (index == last_found_) {
        last_found_ = -1;
    } else if (index < last_found_) {
        --last_found_;
    }
}

// --- TSectionList ---

std::size_t TSectionList::checked(int index) const {
    kvr_assert(index >= 0 && static_cast<std::size_t>(index) < names_.size(), kUnitPath, __LINE__);
    return static_cast<std::size_t>(index);
}

const std::string& TSectionList::Names(int index) const {
    return names_[checked(index)];
}
TSectionValues& TSectionList::Values(int index) {
    return *values_[checked(index)];
}
const TSectionValues& TSectionList::Values(int index) const {
    return *values_[checked(index)];
}

int TSectionList::IndexOf(std::string_view name, int start) const {
    const int count = Count();
    if (count == 0) return -1;
    const int first = ((start % count) + count) % count;
    for (int step = 0; step < count; ++step) {
        const int index = (first + step) % count;
        if (ini::ascii_equal_ignore_case(names_[static_cast<std::size_t>(index)], name)) {
            last_found_ = index;
            return index;
        }
    }
    return -1;
}

int TSectionList::IndexOf(std::string_view name) const {
    return IndexOf(name, last_found_ < 0 ? 0 : last_found_);
}

int TSectionList::Add(std::string name) {
    names_.push_back(std::move(name));
    values_.push_back(std::make_unique<TSectionValues>());
    return Count() - 1;
}

void TSectionList::Delete(int index) {
    const std::size_t i = checked(index);
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(i));
    if (last_found_ >= Count()) last_found_ = -1;
}

void TSectionList::Clear() {
    names_.clear();
    values_.clear();
    last_found_ = -1;
}

// --- TBigIniFile ---

TBigIniFile::TBigIniFile(std::string file_name, ini::IniPlatform platform)
    : file_name_(std::move(file_name)), platform_(std::move(platform)) {
    if (!platform_.same_entry_name) platform_.same_entry_name = ini::ascii_equal_ignore_case;
    if (!platform_.files) platform_.files = ini::standard_file_access();
    if (!file_name_.empty()) LoadFromFile(file_name_);
    modified_ = false;
}

TBigIniFile::~TBigIniFile() {
    try {
        UpdateFile();
    } catch (...) {
        // A destructor must not throw; callers that care call UpdateFile themselves.
    }
}

void TBigIniFile::LoadFromFile(const std::string& file_name) {
    TSectionList loaded;
    if (platform_.files->file_exists(file_name)) {
        SectionListBuilder builder(loaded);
        ini::IniTextParser parser(builder);
        platform_.files->read_file(file_name, TextBufferSize,
                                   [&parser](std::string_view chunk) { parser.feed(chunk); });
        parser.finish();
    }
    sections_ = std::move(loaded);
    section_found_last_ = 0;
    modified_ = false;
}

void TBigIniFile::UpdateFile() {
    const bool must_write = modified_ && !file_name_.empty();
    modified_ = false;
    if (!must_write) return;
    platform_.files->replace_file(file_name_, [this](const ini::ChunkSink& sink) {
        ini::IniTextWriter writer(sink, TextBufferSize);
        for (int index = 0; index < sections_.Count(); ++index)
            writer.write_section(sections_.Names(index), sections_.Values(index).Lines());
        writer.finish();
    });
}

int TBigIniFile::find_section(std::string_view section) const {
    const int index = sections_.IndexOf(section, section_found_last_);
    if (index >= 0) section_found_last_ = index;
    return index;
}

TEntryLocation TBigIniFile::FindEntry(std::string_view section, std::string_view name,
                                      bool create_section) {
    int index = find_section(section);
    if (index < 0) {
        if (!create_section) return {};
        index = sections_.Add(std::string(section));
        section_found_last_ = index;
        return {-1, &sections_.Values(index)};
    }
    TSectionValues& values = sections_.Values(index);
    return {values.IndexOfName(name, platform_.same_entry_name), &values};
}

std::string TBigIniFile::ReadString(std::string_view section, std::string_view name,
                                    std::string_view default_value) const {
    const int index = find_section(section);
    if (index >= 0) {
        const TSectionValues& values = sections_.Values(index);
        const int entry = values.IndexOfName(name, platform_.same_entry_name);
        if (entry >= 0) return std::string(values.ValueFromIndex(entry));
    }
    return std::string(default_value);
}

std::int32_t TBigIniFile::ReadInteger(std::string_view section, std::string_view name,
                                      std::int32_t default_value) const {
    return ini::parse_ini_integer(ReadString(section, name, "")).value_or(default_value);
}

double TBigIniFile::ReadFloat(std::string_view section, std::string_view name,
                              double default_value) const {
    return ini::parse_ini_float(ReadString(section, name, ""), platform_.decimal_separator)
        .value_or(default_value);
}

void TBigIniFile::WriteString(std::string_view section, std::string_view name,
                              std::string_view value) {
    if (name.empty()) {
        if (!section.empty() || !value.empty()) {
            EraseSection(section);
        } else {
            UpdateFile();
        }
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append("=").append(value);
    reject_unreadable_entry(section, name, value, line);
    const TEntryLocation found = FindEntry(section, name, true);
    if (found.Index < 0) {
        found.Values->Add(std::move(line));
        modified_ = true;
    } else if (found.Values->Strings(found.Index) != line) {
        found.Values->Put(found.Index, std::move(line));
        modified_ = true;
    }
}

void TBigIniFile::WriteInteger(std::string_view section, std::string_view name,
                               std::int32_t value) {
    WriteString(section, name, std::to_string(value));
}

void TBigIniFile::WriteFloat(std::string_view section, std::string_view name, double value) {
    WriteString(section, name, ini::format_ini_float(value, platform_.decimal_separator));
}

void TBigIniFile::DeleteKey(std::string_view section, std::string_view name) {
    const TEntryLocation found = FindEntry(section, name, true);
    if (found.Index >= 0) {
        found.Values->Delete(found.Index);
        modified_ = true;
    }
}

void TBigIniFile::EraseSection(std::string_view section) {
    const int index = sections_.IndexOf(section);
    if (index >= 0) sections_.Delete(index);
    if (section_found_last_ >= sections_.Count()) section_found_last_ = 0;
    modified_ = true;
}

void TBigIniFile::ReadSection(std::string_view section, std::vector<std::string>& list) const {
    const int index = find_section(section);
    if (index < 0) return;
    const TSectionValues& values = sections_.Values(index);
    for (int entry = 0; entry < values.Count(); ++entry) {
        const std::string_view name = values.Names(entry);
        if (!name.empty()) list.emplace_back(name);
    }
}

bool TBigIniFile::ValueExists(std::string_view section, std::string_view name) const {
    const int index = find_section(section);
    if (index < 0 || name.empty()) return false;
    const TSectionValues& values = sections_.Values(index);
    for (int entry = 0; entry < values.Count(); ++entry) {
        if (ini::ascii_equal_ignore_case(values.Names(entry), name)) return true;
    }
    return false;
}

} // namespace kvr
