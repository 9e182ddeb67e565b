#pragma once
// The value of a published property as it crosses the property table, the property map and
// the settings store: empty, null, a number, a Boolean, text, an object, a set or an
// enumeration ordinal.

#include "common/errors.h"

#include <cstdint>
#include <string>
#include <variant>

namespace kvr {

class TObject;

// A set value: bit n stands for the element with ordinal n.
struct SetBits {
    std::uint32_t bits = 0;
    friend bool operator==(SetBits, SetBits) = default;
};

// The ordinal of an enumeration value.
struct EnumOrdinal {
    std::int32_t ordinal = 0;
    friend bool operator==(EnumOrdinal, EnumOrdinal) = default;
};

class PropValue {
  public:
    enum class Type : std::uint8_t {
        Empty,
        Null,
        Integer,
        Int64,
        Double,
        Boolean,
        AnsiString,
        WideString,
        Object,
        Set,
        Enumeration,
    };

    PropValue() = default; // empty
    static PropValue Null();
    PropValue(std::int32_t value) : data_(std::in_place_type<std::int32_t>, value) {}
    PropValue(std::int64_t value) : data_(std::in_place_type<std::int64_t>, value) {}
    PropValue(double value) : data_(std::in_place_type<double>, value) {}
    PropValue(bool value) : data_(std::in_place_type<bool>, value) {}
    PropValue(std::string value) : data_(std::in_place_type<std::string>, std::move(value)) {}
    PropValue(const char* value) : data_(std::in_place_type<std::string>, value) {}
    PropValue(std::u16string value) : data_(std::in_place_type<std::u16string>, std::move(value)) {}
    PropValue(const char16_t* value) : data_(std::in_place_type<std::u16string>, value) {}
    PropValue(TObject* value) : data_(std::in_place_type<TObject*>, value) {}
    PropValue(SetBits value) : data_(std::in_place_type<SetBits>, value) {}
    PropValue(EnumOrdinal value) : data_(std::in_place_type<EnumOrdinal>, value) {}

    Type type() const { return static_cast<Type>(data_.index()); }
    bool is_empty() const { return type() == Type::Empty; }
    bool is_null() const { return type() == Type::Null; }
    bool is_empty_or_null() const { return is_empty() || is_null(); }
    bool is_text() const { return type() == Type::AnsiString || type() == Type::WideString; }

    // The stored alternative, or nullptr when the value holds another type.
    template <class T> const T* get_if() const { return std::get_if<T>(&data_); }

    // Conversions. Each throws EConvertError when the value has no meaning in the target type
    // (null, an object, text that spells no number) or lies outside its range. Empty converts
    // to zero, false or empty text. A Boolean converts to 1 or 0; a double converts to an
    // integer by rounding half to even; text converts as text::parse_int32 and text::parse_float
    // read it, an integer text that is a number with a fraction being rounded.
    std::int32_t to_int32() const;
    std::int64_t to_int64() const;
    double to_double() const;
    // Numbers: non-zero is true. Text: "True" or "False" in any ASCII case, or a number.
    bool to_bool() const;
    // Text in the ANSI code page: numbers in decimal (doubles in general format), Booleans as
    // "True" or "False", sets and ordinals as decimal numbers. Empty and null give "".
    std::string to_text() const;
    std::u16string to_wide_text() const;
    // The object; empty and null give nullptr.
    TObject* to_object() const;
    // Set bits; an integer from 0 to 2^32 - 1 is taken as the bits.
    std::uint32_t to_set_bits() const;

    friend bool operator==(const PropValue&, const PropValue&) = default;

  private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) = default;
    };
    explicit PropValue(NullTag tag) : data_(tag) {}

    std::variant<std::monostate, NullTag, std::int32_t, std::int64_t, double, bool, std::string,
                 std::u16string, TObject*, SetBits, EnumOrdinal>
        data_;
};

// A readable name of the value's type, for messages ("Integer", "String", "Null" ...).
const char* PropValueTypeName(PropValue::Type type);

} // namespace kvr
