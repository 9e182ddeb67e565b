#pragma once
// A list of wide (UTF-16) lines held by some control or object, as translation code sees it:
// count, read and replace a line, and a bracket around a run of changes. The holder decides
// where the lines live (a combo box keeps them in its window).

#include "component/class_info.h"

#include <string>

namespace kvr {

class TTntStrings : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    virtual int Count() const = 0;
    // Line access; an index outside 0 to Count() - 1 throws EStringListError.
    virtual std::u16string Get(int index) const = 0;
    virtual void Put(int index, const std::u16string& text) = 0;
    // Changes between BeginUpdate and EndUpdate may be shown only at the end.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

  protected:
    TTntStrings() = default;
    TTntStrings(const TTntStrings&) = default;
    TTntStrings& operator=(const TTntStrings&) = default;
};

} // namespace kvr
