#pragma once
// Loading and saving a root object (an options form or a settings object) through a property
// map, at the settings location the host gave the module: its registry path (first root, then
// second root), or its INI file and section prefix. Each call makes its own TWreg, runs one
// operation and frees it. [the thread that owns the root object]

#include "component/component.h"
#include "component/string_list.h"

namespace kvr {

class TkvrPlugin;

// Copies the stored values into root. False for a missing map, or as TWreg::Load says; throws
// as TWreg::Load (an INI file that exists but cannot be read).
bool LoadMapValues(const TkvrPlugin& Module, const TStringList* Map, TComponent* Root);
// Stores root's values. False for a missing map, or as TWreg::Save says. Every failure the
// store reports (TWreg::Errors: a file that could not be written, a value that could not be
// stored) becomes an error line "Settings not saved: ..." in the module's log.
bool SaveMapValues(TkvrPlugin& Module, const TStringList* Map, TComponent* Root);
// Stores only the values of the map's short form (the lines up to ";---short---": the dialog
// geometry), for an options dialog that was cancelled.
bool SaveShortMapValues(TkvrPlugin& Module, const TStringList* Map, TComponent* Root);

} // namespace kvr
