#pragma once

#include "plugin/plugin_module.h"

namespace kvr {

// Options-dialog status written to ResultValue.
enum OptionsDialogStatus : int32_t {
    odsNotAccepted = 0,
    odsAccepted = 1,
    odsNoInstance = 2,
    odsNoDialog = 3,
    odsFailed = 4
};

// Shows the instance's options dialog (its OnShowOptionsDialog) and reports the status; after
// an accepted dialog, other instances with the same settings location reload theirs. Never
// throws.
void RunShowOptionsDialog(PPluginCallRec pCallRec);

} // namespace kvr
