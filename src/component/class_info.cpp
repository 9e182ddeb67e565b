#include "component/class_info.h"

#include "component/text_util.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace kvr {

namespace {

constexpr const char* kUnit = "src/component/class_info";

bool same_property(const PropInfo& info, std::string_view name) {
    return text::same_text_ascii(info.name, name);
}

} // namespace

PropValue PropInfo::read(TObject& object) const {
    if (!reader) throw EPropertyError("Property " + name + " cannot be read");
    return reader(object);
}

void PropInfo::write(TObject& object, const PropValue& value) const {
    if (!writer) throw EPropertyError("Property " + name + " is read-only");
    writer(object, value);
}

TObject* PropInfo::held_object(TObject& instance) const {
    if (kind != tkClass || !reader) return nullptr;
    const PropValue value = reader(instance);
    const auto* object = value.get_if<TObject*>();
    return object ? *object : nullptr;
}

std::int32_t EnumOrdinalOf(const PropValue& value, const std::vector<std::string>& names) {
    if (value.is_text()) {
        const std::string spelled = value.to_text();
        const auto hit = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return text::same_text_ascii(name, spelled);
        });
        if (hit == names.end()) throw EConvertError("Invalid property element: " + spelled);
        return static_cast<std::int32_t>(hit - names.begin());
    }
    const std::int32_t ordinal = value.to_int32();
    if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= names.size())
        throw EConvertError("Invalid property element: " + std::to_string(ordinal));
    return ordinal;
}

ClassInfo::ClassInfo(std::string name, const ClassInfo* parent, std::vector<PropInfo> declared)
    : name_(std::move(name)), parent_(parent) {
    for (std::size_t i = 0; i < declared.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            kvr_assert(!text::same_text_ascii(declared[i].name, declared[j].name), kUnit, __LINE__,
                       "Property declared twice");
    if (parent_) properties_ = parent_->properties_;
    for (std::size_t i = 0; i < declared.size(); ++i) {
        const auto inherited =
            std::find_if(properties_.begin(), properties_.end(),
                         [&](const PropInfo& p) { return same_property(p, declared[i].name); });
        if (inherited != properties_.end())
            *inherited = std::move(declared[i]);
        else
            properties_.push_back(std::move(declared[i]));
    }
}

bool ClassInfo::inherits_from(std::string_view class_name) const {
    for (const ClassInfo* info = this; info; info = info->parent_)
        if (text::same_text_ascii(info->name_, class_name)) return true;
    return false;
}

bool ClassInfo::inherits_from(const ClassInfo& other) const {
    for (const ClassInfo* info = this; info; info = info->parent_)
        if (info == &other) return true;
    return false;
}

const PropInfo* ClassInfo::find_property(std::string_view name) const {
    const auto hit = std::find_if(properties_.begin(), properties_.end(),
                                  [&](const PropInfo& p) { return same_property(p, name); });
    return hit == properties_.end() ? nullptr : &*hit;
}

const ClassInfo& TObject::StaticClassInfo() {
    static const ClassInfo info("TObject", nullptr, {});
    return info;
}

const PropInfo* FindPropInfo(const TObject& object, std::string_view name) {
    return object.class_info().find_property(name);
}

namespace {
const PropInfo& existing_property(const TObject& object, std::string_view name) {
    const PropInfo* info = FindPropInfo(object, name);
    if (!info)
        throw EPropertyError("Unknown property " + std::string(name) + " of class " +
                             object.ClassName());
    return *info;
}
} // namespace

PropValue GetPropValue(TObject& object, std::string_view name) {
    return existing_property(object, name).read(object);
}

void SetPropValue(TObject& object, std::string_view name, const PropValue& value) {
    existing_property(object, name).write(object, value);
}

namespace detail {

void wrong_instance(const std::string& class_name, const TObject& object) {
    throw EPropertyError("A property of " + class_name + " was used on an object of class " +
                         object.ClassName());
}

void wrong_object_class(const std::string& property, const TObject& object) {
    throw EConvertError("Property " + property + " cannot hold an object of class " +
                        object.ClassName());
}

std::int32_t checked_code(const PropValue& value, std::int32_t max) {
    const std::int32_t code = value.to_int32();
    if (code < 0 || code > max)
        throw EConvertError("Character code " + std::to_string(code) + " out of range");
    return code;
}

float checked_single(const PropValue& value) {
    const double number = value.to_double();
    if (std::isfinite(number) && std::fabs(number) > static_cast<double>(FLT_MAX))
        throw EConvertError("Value out of range for type (Single)");
    return static_cast<float>(number);
}

std::uint32_t checked_set(const PropValue& value, std::size_t element_count) {
    const std::uint32_t bits = value.to_set_bits();
    if (element_count < 32 && (bits >> element_count) != 0)
        throw EConvertError("Set value " + std::to_string(bits) + " names no element");
    return bits;
}

} // namespace detail

std::string_view TypeKindName(TTypeKind kind) {
    static constexpr std::string_view names[] = {
        "tkUnknown", "tkInteger", "tkChar",   "tkEnumeration", "tkFloat",   "tkString",
        "tkSet",     "tkClass",   "tkMethod", "tkWChar",       "tkLString", "tkWString",
        "tkVariant", "tkArray",   "tkRecord", "tkInterface",   "tkInt64",   "tkDynArray",
    };
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(names) ? names[index] : names[0];
}

} // namespace kvr
