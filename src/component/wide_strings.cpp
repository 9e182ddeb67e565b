#include "component/wide_strings.h"

namespace kvr {

const ClassInfo& TTntStrings::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TTntStrings>("TTntStrings", TObject::StaticClassInfo())
            .integer("Count", [](TTntStrings& lines) { return lines.Count(); })
            .build();
    return info;
}

} // namespace kvr
