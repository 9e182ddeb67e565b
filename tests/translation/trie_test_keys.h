#pragma once
// Keys with chosen CRC values for the hash trie tests. CRC-32 is linear, so four bytes
// appended to any prefix can steer the register to any value; the keys are checked against a
// bitwise CRC written independently of the trie's table-driven one.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvr::test {

// Bit-by-bit CRC-32 register (reflected 0xEDB88320, start 0xFFFFFFFF, no final inversion).
inline std::uint32_t reference_crc(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

// prefix followed by four bytes that make the register end at target.
inline std::string key_with_crc(std::string_view prefix, std::uint32_t target) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            t[i] = crc;
        }
        return t;
    }();
    // After four steps the register is t[i3] ^ t[i2]>>8 ^ t[i1]>>16 ^ t[i0]>>24, whatever it
    // was before: choose the indices from the top byte down, then the bytes that reach them.
    std::array<std::uint8_t, 4> index{};
    std::uint32_t rest = target;
    for (int step = 3; step >= 0; --step) {
        const std::uint32_t top = rest >> 24;
        for (std::uint32_t i = 0; i < 256; ++i) {
            if ((table[i] >> 24) == top) index[step] = static_cast<std::uint8_t>(i);
        }
        rest = (rest ^ table[index[step]]) << 8;
    }
    std::string key(prefix);
    std::uint32_t crc = reference_crc(prefix);
    for (int step = 0; step < 4; ++step) {
        const auto byte = static_cast<std::uint8_t>((crc ^ index[step]) & 0xFF);
        key.push_back(static_cast<char>(byte));
        crc = table[index[step]] ^ (crc >> 8);
    }
    return key;
}

} // namespace kvr::test
