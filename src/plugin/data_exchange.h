#pragma once
// The work behind the data calls; the entry points run it behind the busy guard.

#include "plugin/plugin_module.h"

namespace kvr {

int32_t RunProcessData(TkvrPlugin& plugin, PPluginCallRec pCallRec);
int32_t RunGetData(TkvrPlugin& plugin, PPluginCallRec pCallRec);
int32_t RunGetEvents(TkvrPlugin& plugin, PPluginCallRec pCallRec);

// Throws EAssertionFailed("Invalid call parameters") unless Params carries the list tag.
void CheckCallParams(PPluginCallRec pCallRec);

} // namespace kvr
