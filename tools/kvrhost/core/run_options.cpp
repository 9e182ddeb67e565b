#include "kvrhost/core/run_options.h"

namespace kvrhost {

std::optional<FilterSettings> RunOptions::filter_settings() const {
    if (variables.empty()) return std::nullopt;
    return FilterSettings{variables, timeout_ms.value_or(0.0), no_reset};
}

std::optional<std::string> options_problem(const RunOptions& options) {
    if (options.input.empty()) return "no input: name a file of packets, or - for standard input";
    if (options.variables.empty() && (options.timeout_ms || options.no_reset))
        return "--timeout and --no-reset are settings of the variables: give them with --var";
    if (const auto settings = options.filter_settings())
        if (auto problem = settings_problem(*settings)) return problem;
    if (!options.ini_file.empty() && !options.registry_path.empty())
        return "--ini and --registry exclude each other";
    if (options.section_prefix && options.ini_file.empty()) return "--section-prefix needs --ini";
    if (!options.items_file.empty() && options.items_from_stream)
        return "--items and --items-from-stream exclude each other";
    if (options.items_from_stream && options.reads_standard_input())
        return "--items-from-stream needs a file of packets, not standard input";
    return std::nullopt;
}

} // namespace kvrhost
