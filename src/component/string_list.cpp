#include "component/string_list.h"

#include "component/text_platform.h"

#include <algorithm>

namespace kvr {

const ClassInfo& TStringList::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TStringList>("TStringList", TObject::StaticClassInfo())
            .ansi_string("Text", &TStringList::Text,
                         [](TStringList& list, std::string text) { list.SetText(text); })
            .boolean("CaseSensitive", &TStringList::CaseSensitive, &TStringList::SetCaseSensitive)
            .integer("Count", &TStringList::Count)
            .build();
    return info;
}

TStringList::TStringList(const TStringList& other)
    : TObject(other), lines_(other.lines_), case_sensitive_(other.case_sensitive_) {}

TStringList& TStringList::operator=(const TStringList& other) {
    if (this != &other) {
        case_sensitive_ = other.case_sensitive_;
        Assign(other);
    }
    return *this;
}

const std::string& TStringList::Get(int index) const {
    check_index(index, Count() - 1);
    return lines_[static_cast<std::size_t>(index)].text;
}

void TStringList::Put(int index, std::string text) {
    check_index(index, Count() - 1);
    lines_[static_cast<std::size_t>(index)].text = std::move(text);
    changed();
}

TObject* TStringList::GetObject(int index) const {
    check_index(index, Count() - 1);
    return lines_[static_cast<std::size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object) {
    check_index(index, Count() - 1);
    lines_[static_cast<std::size_t>(index)].object = object;
    changed();
}

int TStringList::Add(std::string text, TObject* object) {
    Insert(Count(), std::move(text), object);
    return Count() - 1;
}

void TStringList::Insert(int index, std::string text, TObject* object) {
    check_index(index, Count());
    lines_.insert(lines_.begin() + index, Line{std::move(text), object});
    changed();
}

void TStringList::Delete(int index) {
    check_index(index, Count() - 1);
    lines_.erase(lines_.begin() + index);
    changed();
}

void TStringList::Clear() {
    if (lines_.empty()) return;
    lines_.clear();
    changed();
}

void TStringList::Assign(const TStringList& source) {
    if (&source == this) return;
    lines_ = source.lines_;
    changed();
}

int TStringList::IndexOf(std::string_view text) const {
    const TextPlatform& platform = text_platform();
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (platform.ansi_compare(lines_[i].text, text, case_sensitive_) == 0)
            return static_cast<int>(i);
    return -1;
}

int TStringList::IndexOfObject(const TObject* object) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].object == object) return static_cast<int>(i);
    return -1;
}

void TStringList::Sort() {
    const TextPlatform& platform = text_platform();
    std::stable_sort(lines_.begin(), lines_.end(), [&](const Line& a, const Line& b) {
        return platform.ansi_compare(a.text, b.text, case_sensitive_) < 0;
    });
    changed();
}

std::string TStringList::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        lines.push_back(Line{std::string(text.substr(pos, stop - pos)), nullptr});
        pos = stop;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    lines_ = std::move(lines);
    changed();
}

void TStringList::EndUpdate() {
    if (update_count_ == 0) return;
    if (--update_count_ == 0 && changed_while_updating_) {
        changed_while_updating_ = false;
        if (OnChange) OnChange(*this);
    }
}

void TStringList::check_index(int index, int limit) const {
    if (index < 0 || index > limit)
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStringList::changed() {
    if (update_count_ > 0) {
        changed_while_updating_ = true;
        return;
    }
    if (OnChange) OnChange(*this);
}

} // namespace kvr
