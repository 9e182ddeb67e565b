#pragma once
// Lets GoogleTest print property values in failure messages.

#include "component/prop_value.h"

#include <ostream>

namespace kvr {

inline void PrintTo(const PropValue& value, std::ostream* out) {
    *out << PropValueTypeName(value.type());
    if (value.type() != PropValue::Type::Object) *out << " \"" << value.to_text() << '"';
}

} // namespace kvr
