#include "settings/map_lines.h"

#include "component/text_util.h"

namespace kvr {

std::optional<MapLine> ParseMapLine(std::string_view line) {
    line = text::trim_controls(line);
    if (line.empty() || line.front() == ';') return std::nullopt;
    const std::size_t comma = line.find(',');
    MapLine parsed;
    parsed.control_path = std::string(text::trim_controls(line.substr(0, comma)));
    if (comma != std::string_view::npos)
        parsed.storage_name = std::string(text::trim_controls(line.substr(comma + 1)));
    if (parsed.control_path.empty()) return std::nullopt;
    return parsed;
}

TStringList ShortMap(const TStringList& map) {
    TStringList result;
    const std::string text = map.Text();
    const std::size_t marker = text.find(kShortMapMarker);
    if (marker == std::string::npos)
        result.Assign(map);
    else
        result.SetText(std::string_view(text).substr(0, marker + kShortMapMarker.size()));
    return result;
}

} // namespace kvr
