#include "input_source.h"

#include <algorithm>
#include <stdexcept>

namespace kvrhost {

HandleSource HandleSource::open_file(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
    return HandleSource(file, kvr::UniqueHandleNull(file));
}

std::size_t HandleSource::read(char* buffer, std::size_t capacity) {
    DWORD got = 0;
    const auto wanted = DWORD(std::min<std::size_t>(capacity, std::size_t(1) << 30));
    if (ReadFile(handle_, buffer, wanted, &got, nullptr)) return got;
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    throw std::runtime_error("cannot read the input (system error " + std::to_string(error) + ")");
}

} // namespace kvrhost
