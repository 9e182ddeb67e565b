#pragma once
// Routines an options form calls while it is made: the parser items for its lists, its
// translation, and its placement. Placement works with the geometry lines of the property
// map: the form remembers its design bounds, loads its stored bounds, and keeps them only
// when the host gave an owner window, they differ from the design and the form's centre lies
// on the desktop; otherwise it is centred over the host's window.
// [the thread that shows the form]

#include "plugin/plugin_module.h"

#include <string>
#include <vector>

namespace kvr {

namespace ui {
class TForm;
}

// The number of parser items the host announced, and a copy of one (an empty item for an
// index outside 0 .. count - 1).
int ParserItemCount(const TkvrPlugin& Module);
TParserItem GetParserItem(const TkvrPlugin& Module, int Index);
// The names of all parser items in list order, taken under the module's command lock so that
// a SET-ITEMS on another thread cannot change the list while it is read.
std::vector<std::string> ParserItemNames(TkvrPlugin& Module);

// Sets the module's Language to "NONE" when it is empty; a module with a translator then
// translates the form from "EN" into Language (this module has none yet).
void TranslateOptionsForm(TkvrPlugin& Module, ui::TForm& Form);

// FormBounds := the form's left, top, left + width, top + height.
void RememberDesignBounds(TkvrPlugin& Module, const ui::TForm& Form);
// True when the form keeps the bounds it loaded (see above).
bool KeepRestoredBounds(const TkvrPlugin& Module, const ui::TForm& Form);
// True when the form's centre lies outside the area all monitors cover.
bool IsOffScreen(const ui::TForm& Form);
// Centres the form, its size kept, over the module's OwnerForm window, else the application's
// main form, else the monitor under the mouse cursor; true when it was moved, false when no
// reference could be had.
bool CentreOverOwner(const TkvrPlugin& Module, ui::TForm& Form);

} // namespace kvr
