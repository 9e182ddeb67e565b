#pragma once
// Property map lines. A map is a list of lines, each naming a property of a control (or of
// the root itself) and the name its value is stored under:
//
//   control path[,storage name]        for example   spTimeout.Value,Timeout
//
// The lines above the marker ";---short---", with the marker line, form the short map.

#include "component/string_list.h"

#include <optional>
#include <string>
#include <string_view>

namespace kvr {

inline constexpr std::string_view kShortMapMarker = ";---short---";

struct MapLine {
    std::string control_path; // "."-separated segments; never empty
    std::string storage_name; // may hold "\" between sub-keys; empty when the line has no ","
};

// The line's control path and storage name, each trimmed of characters of code 32 or less;
// nothing for an empty line, a comment (first non-blank character ";") or a line whose
// control path is empty.
std::optional<MapLine> ParseMapLine(std::string_view line);

// The short form of a map: its lines up to and including the end of the first
// ";---short---" (found anywhere in the map's text); the whole map when it has no marker.
TStringList ShortMap(const TStringList& map);

} // namespace kvr
