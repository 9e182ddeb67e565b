// Escaping of stored texts on any bytes: unescaping an escaped text gives the text back, the
// escaped form holds nothing a store could lose (control bytes, leading or doubled blanks),
// and unescaping any text stays inside it (the input is an exactly sized heap block, so
// AddressSanitizer sees a read past its end) and never makes it longer.

#include "fuzz_check.h"

#include "settings/escaping.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string escaped = kvr::EscapeValue(text);
    KVR_FUZZ_CHECK(kvr::UnescapeValue(escaped) == text);
    for (const char c : escaped)
        KVR_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20);
    KVR_FUZZ_CHECK(escaped.empty() || escaped.front() != ' ');
    KVR_FUZZ_CHECK(escaped.find("  ") == std::string::npos);

    const std::string unescaped = kvr::UnescapeValue(text);
    KVR_FUZZ_CHECK(unescaped.size() <= text.size());
    return 0;
}
