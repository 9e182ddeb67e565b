#pragma once
// Kinds of published properties. The order of the values is fixed: stored settings and the
// property map refer to kinds by these positions.

#include <cstdint>
#include <string_view>

namespace kvr {

enum TTypeKind : std::uint8_t {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray,
};

// The kind's declared name ("tkInteger"); "tkUnknown" for a value outside the enumeration.
std::string_view TypeKindName(TTypeKind kind);

} // namespace kvr
