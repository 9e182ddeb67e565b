#pragma once
// `kvrhost run`: streams data packets through a filter module as a data-logging host does.
//
// Order of work: the parser items are read (and the settings checked) before anything is
// written; the filter's settings are written where the module will look for them; then LOAD,
// SET-ITEMS, one ProcessData call with the filter role per packet, UNLOAD, the release of the
// instance and the library-unload notice. Combined records go to `out` as they come; problems
// with single lines, the module's log lines and the summary go to `err`.

#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/run_options.h"

#include <istream>
#include <ostream>
#include <stdexcept>

namespace kvrhost {

// A failure that stops the run before or around the packets (bad options, an unreadable file,
// a module that cannot be loaded or refuses LOAD or SET-ITEMS).
class RunError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Runs the packets of options.input ("-": standard_input). Answers 0 when every line was a
// packet the module took and every record was written whole, 1 when something was skipped,
// refused by the module or left unwritten. Throws RunError or kvr::Exception when the run
// cannot take place; the module is unloaded and released also then. With `progress`, a
// progress line is rewritten on `err` about once a second.
int run_packets(const RunOptions& options, std::istream& standard_input, std::ostream& out,
                std::ostream& err, bool progress);
// The same with standard input read from a byte source (the program reads its standard input
// handle in blocks). File arguments may be Windows paths or, under Wine, absolute Linux paths.
// Records are written to `out` in blocks, flushed at least every 100 ms, before every read of
// the input (a live source may keep it waiting) and at the end.
int run_packets(const RunOptions& options, ByteSource& standard_input, std::ostream& out,
                std::ostream& err, bool progress);

} // namespace kvrhost
