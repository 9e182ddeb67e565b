#pragma once
// File names as the user gives them: Windows paths, or, under Wine, absolute Linux paths.

#include <string>

namespace kvrhost {

// The path the Windows file functions take for `path`. Under Wine an absolute Linux path
// ("/tmp/packets.jsonl") becomes the DOS path Wine maps to that file; anything else, and
// every path on Windows itself, is answered unchanged.
std::string host_path(const std::string& path);

} // namespace kvrhost
