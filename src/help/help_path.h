#pragma once
// Texts the context help hands to the HTML Help viewer, free of any window system.

#include <string>
#include <string_view>

namespace kvr::help {

// The path of a help request: the help file; then "::" and the topic when one is given; then
// ">" and the window definition when one is given ("C:\x\a.chm>main").
std::string HelpPath(std::string_view chm_file, std::string_view topic,
                     std::string_view window_definition);

// The viewer library's file from its registered path: the first "%SystemRoot%\System32\"
// (letters in any case) becomes the system directory, which is given with or without its
// final backslash. Other paths are answered unchanged.
std::string ViewerFile(std::string_view registered, std::string_view system_directory);

} // namespace kvr::help
