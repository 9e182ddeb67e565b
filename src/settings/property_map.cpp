#include "settings/property_map.h"

#include "component/application.h"
#include "component/string_list.h"
#include "component/text_util.h"
#include "settings/escaping.h"
#include "settings/proxy_object.h"

#include <vector>

namespace kvr {

namespace {

std::vector<std::string_view> split_path(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = path.find('.', start);
        if (dot == std::string_view::npos) {
            segments.push_back(path.substr(start));
            return segments;
        }
        segments.push_back(path.substr(start, dot - start));
        start = dot + 1;
    }
}

std::string flattened(std::string_view path) {
    std::string name(path);
    for (char& c : name)
        if (c == '.') c = '_';
    return name;
}

TObject* object_held_by(const PropInfo& info, TObject& object) {
    try {
        return info.held_object(object);
    } catch (const std::exception&) {
        return nullptr; // a getter that fails leads nowhere
    }
}

// Step through the remaining segments: a property name, and through object-valued properties
// further names.
void walk_properties(TObject* object, const std::vector<std::string_view>& segments,
                     std::size_t next, ResolvedPath& result) {
    while (true) {
        result.object = object;
        if (!object || next == segments.size()) {
            result.property_name.clear();
            result.kind = tkUnknown;
            return;
        }
        result.property_name = std::string(segments[next++]);
        const PropInfo* info = FindPropInfo(*object, result.property_name);
        result.kind = info ? info->kind : tkUnknown;
        if (!info || next == segments.size()) return;
        if (info->kind != tkClass) {
            result.kind = tkUnknown; // segments left after a property that holds no object
            return;
        }
        object = object_held_by(*info, *object);
    }
}

PropValue as_stored_text(std::string text, bool escape) {
    return PropValue(escape ? EscapeValue(text) : std::move(text));
}

PropValue enumeration_name(const PropInfo& info, const PropValue& value) {
    const std::int32_t ordinal = value.to_int32();
    if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= info.element_names.size())
        return PropValue::Null();
    return PropValue(info.element_names[static_cast<std::size_t>(ordinal)]);
}

PropValue read_object_property(const PropInfo& info, TObject& object, bool escape) {
    const PropValue value = info.read(object);
    const auto* held = value.get_if<TObject*>();
    if (!held || !*held) return PropValue::Null();
    if (const auto* list = dynamic_cast<const TStringList*>(*held))
        return as_stored_text(list->Text(), escape);
    if (const auto* component = dynamic_cast<const TComponent*>(*held))
        return PropValue(ComponentPath(*component));
    return PropValue::Null();
}

bool may_hold_components(const PropInfo& info) {
    return !info.object_class || info.object_class->inherits_from(TComponent::StaticClassInfo());
}

void write_component_reference(const PropInfo& info, TObject& object, TComponent* owner,
                               const PropValue& value) {
    const PropValue none(static_cast<TObject*>(nullptr));
    if (value.is_null()) {
        if (info.name.find("Dock") == std::string::npos) info.write(object, none);
        return;
    }
    const std::string path = value.to_text();
    if (path.empty()) {
        info.write(object, none);
        return;
    }
    if (TComponent* target = FindComponentByPath(path, owner))
        info.write(object, PropValue(static_cast<TObject*>(target)));
}

void write_object_property(const PropInfo& info, TObject& object, TComponent* owner,
                           const PropValue& value) {
    TObject* held = info.readable() ? info.held_object(object) : nullptr;
    if (auto* list = dynamic_cast<TStringList*>(held)) {
        list->SetText(UnescapeValue(value.to_text()));
        return;
    }
    // Only component references are set from a path: a property that holds (or is declared
    // for) any other object is never cleared or replaced by a stored text.
    if (held && !dynamic_cast<TComponent*>(held)) return;
    if (!may_hold_components(info) || !info.writable()) return;
    write_component_reference(info, object, owner, value);
}

TComponent* search_path_from(TComponent* from, std::string_view path) {
    while (from) {
        const std::size_t dot = path.find('.');
        TComponent* found = from->FindComponent(path.substr(0, dot));
        if (!found || dot == std::string_view::npos) return found;
        from = found;
        path.remove_prefix(dot + 1);
    }
    return nullptr;
}

TComponent* search_path(std::string_view path, TComponent* start, TApplication& application) {
    const std::size_t dot = path.find('.');
    if (dot != std::string_view::npos && text::ascii_upper(path.substr(0, dot)) == "APPLICATION")
        return search_path_from(&application, path.substr(dot + 1));
    return search_path_from(start, path);
}

} // namespace

ResolvedPath ResolvePath(TComponent* root, std::string_view control_path) {
    const std::vector<std::string_view> segments = split_path(control_path);
    std::size_t next = 0;
    TComponent* current = nullptr;
    if (segments.size() > 2) {
        current = Application().FindComponent(segments[0]);
        if (current) next = 1;
    }
    if (!current) current = root ? root : Application().MainForm();

    ResolvedPath result;
    result.owner = current;
    if (auto* settings = dynamic_cast<TProxyCodeCustomObject*>(current)) {
        result.object = settings;
        result.property_name = flattened(control_path);
        const PropInfo* info = FindPropInfo(*settings, result.property_name);
        result.kind = info ? info->kind : tkUnknown;
        return result;
    }
    TObject* object = current;
    if (current && segments.size() - next >= 2) {
        if (TComponent* component = current->FindComponent(segments[next])) {
            object = component;
            ++next;
        }
    }
    walk_properties(object, segments, next, result);
    return result;
}

PropValue ReadProperty(TObject* object, std::string_view property_name, TTypeKind kind,
                       bool escape) {
    if (!object) return PropValue::Null();
    const PropInfo* info = FindPropInfo(*object, property_name);
    if (!info || !info->readable()) return PropValue::Null();
    switch (kind) {
    case tkInteger:
        return PropValue(info->read(*object).to_int32());
    case tkFloat:
        return PropValue(info->read(*object).to_double());
    case tkVariant:
        return info->read(*object);
    case tkChar:
    case tkWChar:
    case tkString:
    case tkLString:
    case tkWString:
        return as_stored_text(info->read(*object).to_text(), escape);
    case tkEnumeration:
        return enumeration_name(*info, info->read(*object));
    case tkClass:
        return read_object_property(*info, *object, escape);
    default:
        return PropValue::Null();
    }
}

void WriteProperty(TObject* object, std::string_view property_name, TComponent* owner,
                   const PropValue& value, TTypeKind kind) {
    if (!object) return;
    const PropInfo* info = FindPropInfo(*object, property_name);
    if (!info || info->kind == tkUnknown) return;
    if (kind == tkClass) {
        write_object_property(*info, *object, owner, value);
        return;
    }
    if (!info->writable()) return;
    switch (kind) {
    case tkInteger:
    case tkFloat:
    case tkVariant:
        info->write(*object, value);
        return;
    case tkChar:
    case tkWChar:
    case tkString:
    case tkLString:
    case tkWString:
        info->write(*object, PropValue(UnescapeValue(value.to_text())));
        return;
    case tkEnumeration: {
        std::string name = value.to_text();
        if (!name.empty()) info->write(*object, PropValue(std::move(name)));
        return;
    }
    default:
        return;
    }
}

std::string ComponentPath(const TComponent& component) {
    const TApplication& application = Application();
    if (const TComponent* owner = component.Owner()) {
        if (owner == &application) return "Application." + component.Name();
        return ComponentPath(*owner) + "." + component.Name();
    }
    if (&component == &application) return "Application";
    return component.Name();
}

TComponent* FindComponentByPath(std::string_view path, TComponent* start) {
    TApplication& application = Application();
    TComponent* found = search_path(path, start, application);
    if (!found && start != &application) found = search_path(path, &application, application);
    return found;
}

} // namespace kvr
