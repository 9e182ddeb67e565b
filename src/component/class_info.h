#pragma once
// Run-time class information: every reflected class has a name, a parent class and a table of
// published properties (inherited ones included). The property map, the settings store and
// the translator reach properties only through this table.
//
// A class declares its table once, in its StaticClassInfo(), with a ClassBuilder:
//
//   class TPanel : public TComponent {
//       KVR_REFLECTED_CLASS()
//   public:
//       ...
//   };
//
//   const ClassInfo& TPanel::StaticClassInfo() {
//       static const ClassInfo info = ClassBuilder<TPanel>("TPanel", TComponent::StaticClassInfo())
//           .integer("Left", &TPanel::Left, &TPanel::SetLeft)
//           .ansi_string("Caption", &TPanel::Caption, &TPanel::SetCaption)
//           .boolean("Visible", &TPanel::visible_)
//           .build();
//       return info;
//   }

#include "common/errors.h"
#include "component/prop_value.h"
#include "component/type_kind.h"

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kvr {

class TObject;
class ClassInfo;

// A property that does not exist or cannot be read or written as asked.
class EPropertyError : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EPropertyError"; }
};

// One published property.
struct PropInfo {
    using Reader = std::function<PropValue(TObject&)>;
    using Writer = std::function<void(TObject&, const PropValue&)>;

    std::string name;
    TTypeKind kind = tkUnknown;
    Reader reader; // empty: the property cannot be read
    Writer writer; // empty: the property is read-only
    // tkEnumeration: the value names by ordinal; tkSet: the element names by bit.
    std::vector<std::string> element_names;
    // tkClass: the class of the objects the property may hold; nullptr for any object.
    const ClassInfo* object_class = nullptr;

    bool readable() const { return static_cast<bool>(reader); }
    bool writable() const { return static_cast<bool>(writer); }

    // The property's value on object. Throws EPropertyError when it cannot be read, and
    // whatever the getter throws.
    PropValue read(TObject& object) const;
    // Sets the property on object; the value is converted to the property's type. Throws
    // EPropertyError when it is read-only, EConvertError when the value does not convert or
    // lies outside the property's range, and whatever the setter throws.
    void write(TObject& object, const PropValue& value) const;
    // tkClass: the object the property holds on instance (nullptr when none or unreadable).
    TObject* held_object(TObject& instance) const;
};

// The ordinal that value names among names: text is matched against the names without regard
// to ASCII case; a number must be a valid ordinal. Throws EConvertError otherwise.
std::int32_t EnumOrdinalOf(const PropValue& value, const std::vector<std::string>& names);

class ClassInfo {
  public:
    // The class name, its parent (nullptr for the root class) and the properties it declares;
    // a declared property replaces an inherited one of the same name. Throws
    // EAssertionFailed when two declared properties share a name.
    ClassInfo(std::string name, const ClassInfo* parent, std::vector<PropInfo> declared);

    const std::string& name() const { return name_; }
    const ClassInfo* parent() const { return parent_; }
    // True for this class and its ancestors; names compare without regard to ASCII case.
    bool inherits_from(std::string_view class_name) const;
    bool inherits_from(const ClassInfo& other) const;
    // The published property of that name (ASCII case ignored), inherited ones included.
    const PropInfo* find_property(std::string_view name) const;
    // Every published property: the inherited ones first, in declaration order.
    const std::vector<PropInfo>& properties() const { return properties_; }

  private:
    std::string name_;
    const ClassInfo* parent_;
    std::vector<PropInfo> properties_;
};

// Root of every reflected class.
class TObject {
  public:
    virtual ~TObject() = default;
    static const ClassInfo& StaticClassInfo();
    virtual const ClassInfo& class_info() const { return StaticClassInfo(); }

    const std::string& ClassName() const { return class_info().name(); }
    bool InheritsFrom(std::string_view class_name) const {
        return class_info().inherits_from(class_name);
    }

  protected:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
};

// Declares StaticClassInfo() and its class_info() override; put it first in the class body.
#define KVR_REFLECTED_CLASS()                                                                      \
  public:                                                                                          \
    static const ::kvr::ClassInfo& StaticClassInfo();                                              \
    const ::kvr::ClassInfo& class_info() const override {                                          \
        return StaticClassInfo();                                                                  \
    }                                                                                              \
                                                                                                   \
  private:

// Lookups on an instance. GetPropValue and SetPropValue throw EPropertyError for a property
// the object does not publish, and otherwise as PropInfo::read and PropInfo::write.
const PropInfo* FindPropInfo(const TObject& object, std::string_view name);
PropValue GetPropValue(TObject& object, std::string_view name);
void SetPropValue(TObject& object, std::string_view name, const PropValue& value);

namespace detail {
[[noreturn]] void wrong_instance(const std::string& class_name, const TObject& object);
[[noreturn]] void wrong_object_class(const std::string& property, const TObject& object);
std::int32_t checked_code(const PropValue& value, std::int32_t max);
float checked_single(const PropValue& value);
std::uint32_t checked_set(const PropValue& value, std::size_t element_count);
} // namespace detail

// Builds the ClassInfo of class C: its name, its parent's ClassInfo and its own properties.
// Each typed method adds one property of the kind its name says; the getter and setter take
// the object as C&. A property without setter is read-only. Values written through the table
// are converted to the property's type first (see PropInfo::write).
template <class C> class ClassBuilder {
  public:
    template <class T> using Getter = std::function<T(C&)>;
    template <class T> using Setter = std::function<void(C&, T)>;

    ClassBuilder(std::string class_name, const ClassInfo& parent)
        : class_name_(std::move(class_name)), parent_(&parent) {}

    // tkInteger: a 32-bit integer.
    ClassBuilder& integer(std::string name, Getter<std::int32_t> get,
                          Setter<std::int32_t> set = {}) {
        return typed<std::int32_t>(std::move(name), tkInteger, std::move(get), std::move(set),
                                   [](const PropValue& v) { return v.to_int32(); });
    }
    ClassBuilder& integer(std::string name, std::int32_t C::*field) {
        return integer(std::move(name), field_getter(field), field_setter(field));
    }
    // tkInt64: a 64-bit integer.
    ClassBuilder& int64(std::string name, Getter<std::int64_t> get, Setter<std::int64_t> set = {}) {
        return typed<std::int64_t>(std::move(name), tkInt64, std::move(get), std::move(set),
                                   [](const PropValue& v) { return v.to_int64(); });
    }
    ClassBuilder& int64(std::string name, std::int64_t C::*field) {
        return int64(std::move(name), field_getter(field), field_setter(field));
    }
    // tkFloat: a double.
    ClassBuilder& floating(std::string name, Getter<double> get, Setter<double> set = {}) {
        return typed<double>(std::move(name), tkFloat, std::move(get), std::move(set),
                             [](const PropValue& v) { return v.to_double(); });
    }
    ClassBuilder& floating(std::string name, double C::*field) {
        return floating(std::move(name), field_getter(field), field_setter(field));
    }
    // tkFloat: a 32-bit float; a finite value beyond its range does not convert.
    ClassBuilder& single(std::string name, Getter<float> get, Setter<float> set = {}) {
        return typed<float>(std::move(name), tkFloat, std::move(get), std::move(set),
                            [](const PropValue& v) { return detail::checked_single(v); });
    }
    ClassBuilder& single(std::string name, float C::*field) {
        return single(std::move(name), field_getter(field), field_setter(field));
    }
    // tkEnumeration with the names "False" and "True".
    ClassBuilder& boolean(std::string name, Getter<bool> get, Setter<bool> set = {}) {
        typed<bool>(std::move(name), tkEnumeration, std::move(get), std::move(set),
                    [](const PropValue& v) { return EnumOrdinalOf(v, boolean_names()) != 0; });
        declared_.back().element_names = boolean_names();
        return *this;
    }
    ClassBuilder& boolean(std::string name, bool C::*field) {
        return boolean(std::move(name), field_getter(field), field_setter(field));
    }
    // tkEnumeration: E is an enumeration or integer type whose values are the ordinals of
    // names; the value reads as an EnumOrdinal.
    template <class E>
    ClassBuilder& enumeration(std::string name, std::vector<std::string> names, Getter<E> get,
                              Setter<E> set = {}) {
        PropInfo info = base_info(std::move(name), tkEnumeration);
        info.reader = [get = std::move(get), cls = class_name_](TObject& object) {
            return PropValue(EnumOrdinal{static_cast<std::int32_t>(get(self(object, cls)))});
        };
        if (set)
            info.writer = [set = std::move(set), names, cls = class_name_](TObject& object,
                                                                           const PropValue& v) {
                set(self(object, cls), static_cast<E>(EnumOrdinalOf(v, names)));
            };
        info.element_names = std::move(names);
        declared_.push_back(std::move(info));
        return *this;
    }
    template <class E>
    ClassBuilder& enumeration(std::string name, std::vector<std::string> names, E C::*field) {
        return enumeration<E>(std::move(name), std::move(names), field_getter(field),
                              field_setter(field));
    }
    // tkSet: bit n stands for the element elements[n].
    ClassBuilder& set(std::string name, std::vector<std::string> elements,
                      Getter<std::uint32_t> get, Setter<std::uint32_t> set = {}) {
        const std::size_t count = elements.size();
        typed<std::uint32_t>(
            std::move(name), tkSet, std::move(get), std::move(set),
            [count](const PropValue& v) { return detail::checked_set(v, count); },
            [](std::uint32_t bits) { return PropValue(SetBits{bits}); });
        declared_.back().element_names = std::move(elements);
        return *this;
    }
    // tkChar: a single-byte character; it reads as its code and is written from a code.
    ClassBuilder& ansi_char(std::string name, Getter<char> get, Setter<char> set = {}) {
        return typed<char>(
            std::move(name), tkChar, std::move(get), std::move(set),
            [](const PropValue& v) { return static_cast<char>(detail::checked_code(v, 0xFF)); },
            [](char c) {
                return PropValue(static_cast<std::int32_t>(static_cast<unsigned char>(c)));
            });
    }
    ClassBuilder& ansi_char(std::string name, char C::*field) {
        return ansi_char(std::move(name), field_getter(field), field_setter(field));
    }
    // tkWChar: a UTF-16 code unit; it reads as its code and is written from a code.
    ClassBuilder& wide_char(std::string name, Getter<char16_t> get, Setter<char16_t> set = {}) {
        return typed<char16_t>(
            std::move(name), tkWChar, std::move(get), std::move(set),
            [](const PropValue& v) {
                return static_cast<char16_t>(detail::checked_code(v, 0xFFFF));
            },
            [](char16_t c) { return PropValue(static_cast<std::int32_t>(c)); });
    }
    ClassBuilder& wide_char(std::string name, char16_t C::*field) {
        return wide_char(std::move(name), field_getter(field), field_setter(field));
    }
    // tkString, tkLString: 8-bit text (a short and a long string); tkWString: UTF-16 text.
    ClassBuilder& short_string(std::string name, Getter<std::string> get,
                               Setter<std::string> set = {}) {
        return text(std::move(name), tkString, std::move(get), std::move(set));
    }
    ClassBuilder& short_string(std::string name, std::string C::*field) {
        return short_string(std::move(name), field_getter(field), field_setter(field));
    }
    ClassBuilder& ansi_string(std::string name, Getter<std::string> get,
                              Setter<std::string> set = {}) {
        return text(std::move(name), tkLString, std::move(get), std::move(set));
    }
    ClassBuilder& ansi_string(std::string name, std::string C::*field) {
        return ansi_string(std::move(name), field_getter(field), field_setter(field));
    }
    ClassBuilder& wide_string(std::string name, Getter<std::u16string> get,
                              Setter<std::u16string> set = {}) {
        return typed<std::u16string>(std::move(name), tkWString, std::move(get), std::move(set),
                                     [](const PropValue& v) { return v.to_wide_text(); });
    }
    ClassBuilder& wide_string(std::string name, std::u16string C::*field) {
        return wide_string(std::move(name), field_getter(field), field_setter(field));
    }
    // tkVariant: any value, stored as given.
    ClassBuilder& variant(std::string name, Getter<PropValue> get, Setter<PropValue> set = {}) {
        return typed<PropValue>(std::move(name), tkVariant, std::move(get), std::move(set),
                                [](const PropValue& v) { return v; });
    }
    ClassBuilder& variant(std::string name, PropValue C::*field) {
        return variant(std::move(name), field_getter(field), field_setter(field));
    }
    // tkClass: an object of class T (or none). Writing an object of another class throws
    // EConvertError.
    template <class T> ClassBuilder& object(std::string name, Getter<T*> get, Setter<T*> set = {}) {
        static_assert(std::is_base_of_v<TObject, T>, "object properties hold reflected objects");
        const std::string property = name;
        typed<T*>(
            std::move(name), tkClass, std::move(get), std::move(set),
            [property](const PropValue& v) -> T* {
                TObject* object = v.to_object();
                if (!object) return nullptr;
                auto* typed_object = dynamic_cast<T*>(object);
                if (!typed_object) detail::wrong_object_class(property, *object);
                return typed_object;
            },
            [](T* object) { return PropValue(static_cast<TObject*>(object)); });
        declared_.back().object_class = &T::StaticClassInfo();
        return *this;
    }
    // Any kind, with reader and writer working on the value as it is.
    ClassBuilder& custom(std::string name, TTypeKind kind, Getter<PropValue> get,
                         Setter<const PropValue&> set = {}, std::vector<std::string> names = {}) {
        PropInfo info = base_info(std::move(name), kind);
        if (get)
            info.reader = [get = std::move(get), cls = class_name_](TObject& object) {
                return get(self(object, cls));
            };
        if (set)
            info.writer = [set = std::move(set), cls = class_name_](
                              TObject& object, const PropValue& v) { set(self(object, cls), v); };
        info.element_names = std::move(names);
        declared_.push_back(std::move(info));
        return *this;
    }

    ClassInfo build() { return ClassInfo(std::move(class_name_), parent_, std::move(declared_)); }

  private:
    static const std::vector<std::string>& boolean_names() {
        static const std::vector<std::string> names{"False", "True"};
        return names;
    }

    static C& self(TObject& object, const std::string& class_name) {
        auto* typed_object = dynamic_cast<C*>(&object);
        if (!typed_object) detail::wrong_instance(class_name, object);
        return *typed_object;
    }

    template <class T> static Getter<T> field_getter(T C::*field) {
        return [field](C& object) { return object.*field; };
    }
    template <class T> static Setter<T> field_setter(T C::*field) {
        return [field](C& object, T value) { object.*field = std::move(value); };
    }

    PropInfo base_info(std::string name, TTypeKind kind) const {
        PropInfo info;
        info.name = std::move(name);
        info.kind = kind;
        return info;
    }

    ClassBuilder& text(std::string name, TTypeKind kind, Getter<std::string> get,
                       Setter<std::string> set) {
        return typed<std::string>(std::move(name), kind, std::move(get), std::move(set),
                                  [](const PropValue& v) { return v.to_text(); });
    }

    template <class T, class Convert>
    ClassBuilder& typed(std::string name, TTypeKind kind, Getter<T> get, Setter<T> set,
                        Convert convert) {
        return typed<T>(std::move(name), kind, std::move(get), std::move(set), convert,
                        [](T value) { return PropValue(std::move(value)); });
    }

    template <class T, class Convert, class Wrap>
    ClassBuilder& typed(std::string name, TTypeKind kind, Getter<T> get, Setter<T> set,
                        Convert convert, Wrap wrap) {
        PropInfo info = base_info(std::move(name), kind);
        if (get)
            info.reader = [get = std::move(get), wrap, cls = class_name_](TObject& object) {
                return wrap(get(self(object, cls)));
            };
        if (set)
            info.writer = [set = std::move(set), convert, cls = class_name_](TObject& object,
                                                                             const PropValue& v) {
                set(self(object, cls), convert(v));
            };
        declared_.push_back(std::move(info));
        return *this;
    }

    std::string class_name_;
    const ClassInfo* parent_;
    std::vector<PropInfo> declared_;
};

} // namespace kvr
