#pragma once
// An ordered list of 8-bit strings, each with an object attached (not owned; nullptr when
// none). Its text is every line followed by CR LF.

#include "common/errors.h"
#include "component/class_info.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// An index outside the list.
class EStringListError : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EStringListError"; }
};

class TStringList : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    TStringList() = default;
    // Copies lines, objects and case sensitivity; the copy has no OnChange handler.
    TStringList(const TStringList& other);
    TStringList& operator=(const TStringList& other);

    int Count() const { return static_cast<int>(lines_.size()); }
    // Line and object access; throw EStringListError for an index outside 0 to Count() - 1.
    const std::string& Get(int index) const;
    void Put(int index, std::string text);
    TObject* GetObject(int index) const;
    void PutObject(int index, TObject* object);

    // Appends a line and returns its index.
    int Add(std::string text, TObject* object = nullptr);
    // Inserts a line before index (Count() appends); EStringListError outside 0 to Count().
    void Insert(int index, std::string text, TObject* object = nullptr);
    void Delete(int index);
    void Clear();
    // Replaces lines and objects with those of source.
    void Assign(const TStringList& source);

    // The index of the first line equal to text (see CaseSensitive), or -1.
    int IndexOf(std::string_view text) const;
    // The index of the first line holding object, or -1.
    int IndexOfObject(const TObject* object) const;

    // Whether IndexOf and Sort tell upper from lower case (ANSI case mapping); false at first.
    bool CaseSensitive() const { return case_sensitive_; }
    void SetCaseSensitive(bool value) { case_sensitive_ = value; }
    // Sorts the lines (objects travel with them) in the platform's ANSI order.
    void Sort();

    // Every line followed by CR LF.
    std::string Text() const;
    // Replaces the lines with those of text: a line ends at CR LF, CR or LF; text after the
    // last line end is a line of its own, and an empty text leaves no line.
    void SetText(std::string_view text);

    // While updates are pending (BeginUpdate without its EndUpdate), OnChange waits; the last
    // EndUpdate fires it once if anything changed.
    void BeginUpdate() { ++update_count_; }
    void EndUpdate();

    // Fired after every change of lines or objects (see BeginUpdate).
    std::function<void(TStringList& sender)> OnChange;

  private:
    struct Line {
        std::string text;
        TObject* object = nullptr;
    };
    void check_index(int index, int limit) const;
    void changed();

    std::vector<Line> lines_;
    bool case_sensitive_ = false;
    int update_count_ = 0;
    bool changed_while_updating_ = false;
};

} // namespace kvr
