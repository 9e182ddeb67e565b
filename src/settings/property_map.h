#pragma once
// Resolution of property map lines against a root object, and the conversion of property
// values to and from what the settings store keeps. Component and property names match
// without regard to ASCII case. Paths that name top-level forms, and component paths that
// start with "Application", go through the process's application object.

#include "component/component.h"
#include "component/prop_value.h"
#include "component/type_kind.h"

#include <string>
#include <string_view>

namespace kvr {

struct ResolvedPath {
    TObject* object = nullptr;   // the object that holds (or would hold) the property
    std::string property_name;   // empty when the path ran out before naming a property
    TTypeKind kind = tkUnknown;  // tkUnknown: the line resolves nowhere
    TComponent* owner = nullptr; // the form or settings object whose components the path named
};

// Resolves a control path against root (nullptr: the application's main form). Never throws.
// On a settings object (a TProxyCodeCustomObject) the property is the whole path with "."
// replaced by "_". Otherwise leading segments may name a top-level form (with three or more
// segments) and a component of the root; the rest name a property and, through object-valued
// properties, properties of the objects they hold (Font.Size). A path that names no property,
// or names more segments after a property that holds no object, yields tkUnknown.
ResolvedPath ResolvePath(TComponent* root, std::string_view control_path);

// The value to store for a property, read as kind says:
//   tkInteger, tkFloat: the value as a 32-bit integer or a double; tkVariant: the value;
//   tkChar, tkWChar, tkString, tkLString, tkWString: its text (a character's is its decimal
//     code; wide text in the ANSI code page), escaped when escape is true;
//   tkEnumeration: the name of the current value;
//   tkClass: a string list's text (escaped when escape is true), a component's path;
//   anything else, a missing object or property, no object held: null.
// Throws what the property's getter throws, and EConvertError when the value does not fit
// the kind.
PropValue ReadProperty(TObject* object, std::string_view property_name, TTypeKind kind,
                       bool escape);

// Applies a stored value to a property, written as kind says. Nothing happens for a missing
// object or property or, except for tkClass, a read-only property.
//   tkInteger, tkFloat, tkVariant: value converted to the property's type;
//   text and character kinds: UnescapeValue of the value's text;
//   tkEnumeration: the value whose name equals the text (ASCII case ignored); an empty text
//     changes nothing;
//   tkClass: a string list the property holds takes UnescapeValue of the text as its lines;
//     a component reference is cleared by null (unless the property's name contains "Dock")
//     or an empty text, and set to FindComponentByPath(text, owner) when that finds one.
//     A property that holds some other object is left alone.
//   other kinds: nothing.
// Throws EConvertError when the value names no enumeration value, does not convert or lies
// outside the property's range, and what the property's setter throws; the property then
// keeps its value.
void WriteProperty(TObject* object, std::string_view property_name, TComponent* owner,
                   const PropValue& value, TTypeKind kind);

// "Application" for the application object; "Application.<name>" for what it owns; the
// owner's path, "." and the name for an owned component; the bare name without owner.
std::string ComponentPath(const TComponent& component);

// The component that path names, searched from start or, for a path "Application.<rest>",
// from the application object; when that finds nothing and start is not the application
// object, the search is repeated from the application object. nullptr when nothing matches.
TComponent* FindComponentByPath(std::string_view path, TComponent* start);

} // namespace kvr
