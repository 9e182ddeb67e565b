#pragma once
// `kvrhost options`: opens a module's options dialog as a data-logging host does, for an
// instance loaded with a settings location, and reports what came of it.
//
// Order of work: the parser items are read first; LOAD with the settings location; SET-ITEMS
// when items were given; ShowOptionsDialog (with the INI file and, when asked, the host's
// window as the owner); then the dialog's status and the settings stored at the location are
// printed; UNLOAD, the release of the instance and the library-unload notice follow.

#include "kvrhost/core/filter_settings.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace kvrhost {

struct OptionsCommandOptions {
    std::string plugin = "aggregation.dll";
    std::uint32_t key = 1;
    // The settings location: an INI file (and section prefix) or a registry path; neither
    // means a temporary INI file that is deleted afterwards.
    std::string ini_file;
    std::optional<std::string> section_prefix;
    std::string registry_path;
    std::string items_file;    // parser items to announce first
    bool owner_window = false; // a visible host window is the dialog's owner
};

// The options dialog's status as the module answers it, in words.
std::string dialog_status_text(std::int32_t status);

// Runs the dialog and prints "status: N (words)" and the stored settings to `out`, the
// module's log lines to `err`. Answers 0 when the dialog ran (accepted or not), 1 when the
// module reported status 2 to 4. Throws RunError (run_command.h) or kvr::Exception when the
// module cannot be loaded or refuses LOAD or SET-ITEMS, or the options do not fit together.
int show_options_dialog(const OptionsCommandOptions& options, std::ostream& out, std::ostream& err);

} // namespace kvrhost
