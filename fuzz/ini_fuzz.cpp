// The INI engine on any bytes: the file is read in small pieces and must parse as it does
// whole; entries are then changed (names and values taken from the input's own lines),
// the file is written back as the settings store writes it (keeping the bytes the engine does
// not read) and parsed again: every section and entry line must come back, and the unread
// bytes with them. A write the engine refuses must change nothing.

#include "fuzz_check.h"

#include "common/errors.h"
#include "settings/big_ini_file.h"
#include "settings/ini_numbers.h"
#include "settings/ini_text.h"
#include "settings/ini_unread_bytes.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using namespace kvr;

namespace {

constexpr std::size_t kChunkSizes[] = {1, 2, 3, 5, 8, 64, 4096};
constexpr int kMostEdits = 64;
const std::string kPath = "fuzz.ini";

std::vector<ini::IniSection> sections_of(const TBigIniFile& ini, bool only_with_lines) {
    std::vector<ini::IniSection> sections;
    const TSectionList& list = ini.Sections();
    for (int index = 0; index < list.Count(); ++index) {
        const std::vector<std::string>& lines = list.Values(index).Lines();
        if (only_with_lines && lines.empty()) continue;
        sections.push_back({list.Names(index), lines});
    }
    return sections;
}

std::vector<ini::IniSection> with_lines(std::vector<ini::IniSection> sections) {
    std::erase_if(sections, [](const ini::IniSection& section) { return section.lines.empty(); });
    return sections;
}

std::vector<std::string_view> raw_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < kMostEdits) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One change derived from a line of the input: name and value split at its first "=".
void edit(TBigIniFile& ini, int step, std::string_view piece) {
    const TSectionList& list = ini.Sections();
    const std::size_t equals = piece.find('=');
    const std::string name(piece.substr(0, equals));
    const std::string value(equals == std::string_view::npos ? "" : piece.substr(equals + 1));
    const std::string section =
        list.Count() > 0 && step % 5 != 4 ? list.Names(step % list.Count()) : name;

    const std::vector<ini::IniSection> before = sections_of(ini, false);
    const bool was_modified = ini.Modified();
    try {
        switch (step % 6) {
        case 0:
        case 1:
            ini.WriteString(section, name, value);
            if (!name.empty())
                KVR_FUZZ_CHECK(ini.ReadString(section, name, "\x01") == ini::trim_blanks(value));
            break;
        case 2:
            ini.WriteInteger(section, name, step * 7919 - 100000);
            if (!name.empty())
                KVR_FUZZ_CHECK(ini.ReadInteger(section, name, 0) == step * 7919 - 100000);
            break;
        case 3: {
            const double number = static_cast<double>(piece.size()) / 7.0 - step;
            ini.WriteFloat(section, name, number);
            if (!name.empty()) {
                const double read = ini.ReadFloat(section, name, NAN);
                KVR_FUZZ_CHECK(std::fabs(read - number) <= 1e-12 * std::fabs(number));
            }
            break;
        }
        case 4:
            ini.DeleteKey(section, name);
            break;
        default:
            if (step % 12 == 11) ini.EraseSection(section);
            (void)ini.ReadInteger(section, name, 0);
            (void)ini.ReadFloat(section, name, 0.0);
            break;
        }
    } catch (const EConvertError&) {
        KVR_FUZZ_CHECK(sections_of(ini, false) == before);
        KVR_FUZZ_CHECK(ini.Modified() == was_modified);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto memory = std::make_shared<fuzz::MemoryFiles>(kChunkSizes[size % std::size(kChunkSizes)]);
    memory->files[kPath] = std::string(text);
    auto keeping = std::make_shared<ini::KeepUnreadBytesAccess>(memory);
    ini::IniPlatform platform;
    platform.files = keeping;

    TBigIniFile ini(kPath, platform);
    KVR_FUZZ_CHECK(sections_of(ini, false) == ini::parse_ini_text(text));
    const ini::UnreadBytes unread = keeping->Unread();
    KVR_FUZZ_CHECK(unread == ini::FindUnreadBytes(text));

    int step = 0;
    for (const std::string_view piece : raw_lines(text))
        edit(ini, step++, piece);
    const std::vector<ini::IniSection> expected = sections_of(ini, true);
    ini.UpdateFile();
    KVR_FUZZ_CHECK(!ini.Modified());

    const std::string& written = memory->files.at(kPath);
    KVR_FUZZ_CHECK(with_lines(ini::parse_ini_text(written)) == expected);
    const ini::UnreadBytes kept = ini::FindUnreadBytes(written);
    KVR_FUZZ_CHECK(kept.from_end_mark == unread.from_end_mark);
    KVR_FUZZ_CHECK(kept.before_first_section.compare(0, unread.before_first_section.size(),
                                                     unread.before_first_section) == 0);
    return 0;
}
