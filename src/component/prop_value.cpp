#include "component/prop_value.h"

#include "common/errors.h"
#include "component/text_platform.h"
#include "component/text_util.h"

#include <cmath>
#include <limits>

namespace kvr {

namespace {

[[noreturn]] void cannot_convert(PropValue::Type from, const char* to) {
    throw EConvertError(std::string("Could not convert a value of type (") +
                        PropValueTypeName(from) + ") into type (" + to + ")");
}

[[noreturn]] void cannot_convert_text(const std::string& spelled, const char* to) {
    throw EConvertError("'" + spelled + "' is not a valid " + to + " value");
}

template <class Int> Int checked_integer(long double value, PropValue::Type from, const char* to) {
    if (std::isnan(value)) cannot_convert(from, to);
    const long double rounded = std::nearbyint(value); // half to even
    if (rounded < static_cast<long double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<long double>(std::numeric_limits<Int>::max()))
        throw EConvertError(std::string("Value out of range for type (") + to + ")");
    return static_cast<Int>(rounded);
}

template <class Int>
Int integer_from_text(const std::string& spelled, PropValue::Type from, const char* to) {
    if (auto whole = text::parse_int64(spelled)) {
        if (*whole < std::numeric_limits<Int>::min() || *whole > std::numeric_limits<Int>::max())
            throw EConvertError(std::string("Value out of range for type (") + to + ")");
        return static_cast<Int>(*whole);
    }
    if (auto number = text::parse_float(spelled)) return checked_integer<Int>(*number, from, to);
    cannot_convert_text(spelled, to);
}

template <class Int> Int to_integer(const PropValue& value, const char* to) {
    using T = PropValue::Type;
    switch (value.type()) {
    case T::Empty:
        return 0;
    case T::Integer:
        return static_cast<Int>(*value.get_if<std::int32_t>());
    case T::Int64: {
        const std::int64_t wide = *value.get_if<std::int64_t>();
        if (wide < std::numeric_limits<Int>::min() || wide > std::numeric_limits<Int>::max())
            throw EConvertError(std::string("Value out of range for type (") + to + ")");
        return static_cast<Int>(wide);
    }
    case T::Double:
        return checked_integer<Int>(*value.get_if<double>(), value.type(), to);
    case T::Boolean:
        return *value.get_if<bool>() ? 1 : 0;
    case T::AnsiString:
    case T::WideString:
        return integer_from_text<Int>(value.to_text(), value.type(), to);
    case T::Set:
        return checked_integer<Int>(value.get_if<SetBits>()->bits, value.type(), to);
    case T::Enumeration:
        return static_cast<Int>(value.get_if<EnumOrdinal>()->ordinal);
    case T::Null:
    case T::Object:
        break;
    }
    cannot_convert(value.type(), to);
}

} // namespace

PropValue PropValue::Null() {
    return PropValue(NullTag{});
}

std::int32_t PropValue::to_int32() const {
    return to_integer<std::int32_t>(*this, "Integer");
}

std::int64_t PropValue::to_int64() const {
    return to_integer<std::int64_t>(*this, "Int64");
}

double PropValue::to_double() const {
    switch (type()) {
    case Type::Empty:
        return 0.0;
    case Type::Integer:
        return *get_if<std::int32_t>();
    case Type::Int64:
        return static_cast<double>(*get_if<std::int64_t>());
    case Type::Double:
        return *get_if<double>();
    case Type::Boolean:
        return *get_if<bool>() ? 1.0 : 0.0;
    case Type::AnsiString:
    case Type::WideString: {
        const std::string spelled = to_text();
        if (auto number = text::parse_float(spelled)) return *number;
        if (auto whole = text::parse_int64(spelled)) return static_cast<double>(*whole);
        cannot_convert_text(spelled, "Double");
    }
    case Type::Set:
        return get_if<SetBits>()->bits;
    case Type::Enumeration:
        return get_if<EnumOrdinal>()->ordinal;
    case Type::Null:
    case Type::Object:
        break;
    }
    cannot_convert(type(), "Double");
}

bool PropValue::to_bool() const {
    switch (type()) {
    case Type::Empty:
        return false;
    case Type::Boolean:
        return *get_if<bool>();
    case Type::AnsiString:
    case Type::WideString: {
        const std::string spelled = to_text();
        if (text::same_text_ascii(spelled, "True")) return true;
        if (text::same_text_ascii(spelled, "False")) return false;
        if (auto number = text::parse_float(spelled)) return *number != 0.0;
        if (auto whole = text::parse_int64(spelled)) return *whole != 0;
        cannot_convert_text(spelled, "Boolean");
    }
    case Type::Double:
        return *get_if<double>() != 0.0;
    case Type::Integer:
    case Type::Int64:
    case Type::Set:
    case Type::Enumeration:
        return to_int64() != 0;
    case Type::Null:
    case Type::Object:
        break;
    }
    cannot_convert(type(), "Boolean");
}

std::string PropValue::to_text() const {
    switch (type()) {
    case Type::Empty:
    case Type::Null:
        return {};
    case Type::Integer:
        return std::to_string(*get_if<std::int32_t>());
    case Type::Int64:
        return std::to_string(*get_if<std::int64_t>());
    case Type::Double:
        return text::format_float(*get_if<double>());
    case Type::Boolean:
        return *get_if<bool>() ? "True" : "False";
    case Type::AnsiString:
        return *get_if<std::string>();
    case Type::WideString:
        return text_platform().wide_to_ansi(*get_if<std::u16string>());
    case Type::Set:
        return std::to_string(get_if<SetBits>()->bits);
    case Type::Enumeration:
        return std::to_string(get_if<EnumOrdinal>()->ordinal);
    case Type::Object:
        break;
    }
    cannot_convert(type(), "String");
}

std::u16string PropValue::to_wide_text() const {
    if (const auto* wide = get_if<std::u16string>()) return *wide;
    return text_platform().ansi_to_wide(to_text());
}

TObject* PropValue::to_object() const {
    if (is_empty_or_null()) return nullptr;
    if (const auto* object = get_if<TObject*>()) return *object;
    cannot_convert(type(), "Object");
}

std::uint32_t PropValue::to_set_bits() const {
    if (const auto* set = get_if<SetBits>()) return set->bits;
    if (type() == Type::Object || type() == Type::Null) cannot_convert(type(), "Set");
    const std::int64_t bits = to_int64();
    if (bits < 0 || bits > std::numeric_limits<std::uint32_t>::max())
        throw EConvertError("Value out of range for type (Set)");
    return static_cast<std::uint32_t>(bits);
}

const char* PropValueTypeName(PropValue::Type type) {
    switch (type) {
    case PropValue::Type::Empty:
        return "Empty";
    case PropValue::Type::Null:
        return "Null";
    case PropValue::Type::Integer:
        return "Integer";
    case PropValue::Type::Int64:
        return "Int64";
    case PropValue::Type::Double:
        return "Double";
    case PropValue::Type::Boolean:
        return "Boolean";
    case PropValue::Type::AnsiString:
        return "String";
    case PropValue::Type::WideString:
        return "WideString";
    case PropValue::Type::Object:
        return "Object";
    case PropValue::Type::Set:
        return "Set";
    case PropValue::Type::Enumeration:
        return "Enumeration";
    }
    return "Unknown";
}

} // namespace kvr
