// The property map's line parser on any bytes: each line of the input is parsed as a map
// line, its storage name split into sub-keys and value name, and turned into an INI section
// and a registry key path; the short form of the whole map is taken. Parsed parts are trimmed
// and never empty where the parser promises so.

#include "fuzz_check.h"

#include "component/string_list.h"
#include "settings/ini_text.h"
#include "settings/map_lines.h"
#include "settings/value_location.h"

#include <cstdint>

using namespace kvr;

namespace {

bool trimmed(std::string_view text) {
    return ini::trim_blanks(text).size() == text.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TStringList map;
    map.SetText(text);
    const std::string prefix = map.Count() > 0 ? map.Get(0) : std::string();

    for (int index = 0; index < map.Count(); ++index) {
        const std::optional<MapLine> line = ParseMapLine(map.Get(index));
        if (!line) continue;
        KVR_FUZZ_CHECK(!line->control_path.empty());
        KVR_FUZZ_CHECK(line->control_path.front() != ';');
        KVR_FUZZ_CHECK(line->control_path.find(',') == std::string::npos);
        KVR_FUZZ_CHECK(trimmed(line->control_path) && trimmed(line->storage_name));

        const ValueLocation location = SplitStorageName(line->storage_name);
        KVR_FUZZ_CHECK(location.sub_keys.size() < 255);
        for (const std::string& part : location.sub_keys) {
            KVR_FUZZ_CHECK(!part.empty() && trimmed(part));
            KVR_FUZZ_CHECK(part.find('\\') == std::string::npos);
        }
        KVR_FUZZ_CHECK(location.sub_keys.empty() || !location.value_name.empty());
        KVR_FUZZ_CHECK(trimmed(location.value_name));
        KVR_FUZZ_CHECK(IniSectionName(prefix, location.sub_keys).find('\\') == std::string::npos);
        const std::string key = RegistryKeyPath(prefix, location.sub_keys);
        for (const std::string& part : location.sub_keys)
            KVR_FUZZ_CHECK(key.find(part) != std::string::npos);
    }

    const TStringList short_map = ShortMap(map);
    KVR_FUZZ_CHECK(short_map.Count() <= map.Count() + 1);
    return 0;
}
