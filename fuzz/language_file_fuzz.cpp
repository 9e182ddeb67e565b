// The language-file parser on any bytes: entries point into the text, are never empty and
// hold no line end; collecting entries gives what the streaming parse hands on; and the
// "Default" language read from the "[Languages]" section is the one the INI engine reads
// from the same bytes.

#include "fuzz_check.h"

#include "settings/big_ini_file.h"
#include "translation/language_file.h"

#include <cstdint>
#include <memory>
#include <vector>

using namespace kvr;

namespace {

bool inside(std::string_view part, std::string_view whole) {
    const auto first = reinterpret_cast<std::uintptr_t>(part.data());
    const auto start = reinterpret_cast<std::uintptr_t>(whole.data());
    return first >= start && first + part.size() <= start + whole.size();
}

void check_entry(std::string_view key, std::string_view translation, std::string_view text) {
    for (const std::string_view part : {key, translation}) {
        KVR_FUZZ_CHECK(!part.empty());
        KVR_FUZZ_CHECK(inside(part, text));
        KVR_FUZZ_CHECK(part.find('\n') == std::string_view::npos);
        KVR_FUZZ_CHECK(part.back() != ' ');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    struct Pair {
        std::string_view source, target;
    };
    for (const Pair codes : {Pair{"EN", "DE"}, Pair{"", "EN"}}) {
        std::vector<TLngEntry> streamed;
        const TLngFileOptions options = parse_language_file(
            text, codes.source, codes.target, [&](std::string_view key, std::string_view value) {
                check_entry(key, value, text);
                streamed.push_back({std::string(key), std::string(value)});
            });
        const TLngParseResult collected = parse_language_file(text, codes.source, codes.target);
        KVR_FUZZ_CHECK(collected.Entries.size() == streamed.size());
        for (std::size_t index = 0; index < streamed.size(); ++index) {
            KVR_FUZZ_CHECK(collected.Entries[index].Key == streamed[index].Key);
            KVR_FUZZ_CHECK(collected.Entries[index].Translation == streamed[index].Translation);
        }
        KVR_FUZZ_CHECK(collected.Settings.Charset == options.Settings.Charset);
        KVR_FUZZ_CHECK(!options.Settings.Locale || *options.Settings.Locale > 0);
    }

    auto files = std::make_shared<fuzz::MemoryFiles>(1 + size % 7);
    files->files["lang.lng"] = std::string(text);
    ini::IniPlatform platform;
    platform.files = files;
    const TBigIniFile ini("lang.lng", platform);
    KVR_FUZZ_CHECK(default_language_from_section(languages_section_lines(text)) ==
                   ini.ReadString("Languages", "Default", ""));
    return 0;
}
