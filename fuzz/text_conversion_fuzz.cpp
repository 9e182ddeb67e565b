// The 8-bit <-> wide text conversions on any bytes: every byte string survives a round trip
// through wide text in the default code page; any wide text converts back with one byte per
// character; casing keeps the length; and well-formed UTF-8 survives a round trip through
// UTF-16 while any other bytes decode without reading past their end.

#include "fuzz_check.h"

#include "component/text_platform.h"
#include "translation/utf8_text.h"

#include <cstdint>
#include <cstring>

using namespace kvr;

namespace {

bool has_lone_surrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            return true;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const TextPlatform& platform = text_platform();

    const std::u16string wide = platform.ansi_to_wide(bytes);
    KVR_FUZZ_CHECK(wide.size() == bytes.size());
    KVR_FUZZ_CHECK(platform.wide_to_ansi(wide) == bytes);
    KVR_FUZZ_CHECK(platform.ansi_upper(bytes).size() == size);
    KVR_FUZZ_CHECK(platform.ansi_lower(bytes).size() == size);
    KVR_FUZZ_CHECK(platform.ansi_compare(bytes, bytes, false) == 0);

    // The same bytes read as UTF-16 code units.
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    const std::string narrowed = platform.wide_to_ansi(units);
    KVR_FUZZ_CHECK(narrowed.size() <= units.size());
    const std::string encoded = wide_to_utf8(units);
    const std::u16string decoded = utf8_to_wide(encoded);
    if (!has_lone_surrogate(units)) KVR_FUZZ_CHECK(decoded == units);

    const std::u16string from_utf8 = utf8_to_wide(bytes);
    KVR_FUZZ_CHECK(from_utf8.size() <= size);
    if (from_utf8.find(u'\xFFFD') == std::u16string::npos)
        KVR_FUZZ_CHECK(wide_to_utf8(from_utf8) == bytes);
    return 0;
}
