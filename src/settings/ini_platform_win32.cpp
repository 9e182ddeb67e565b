#include "settings/ini_platform_win32.h"

#include "common/win32_handle.h"
#include "settings/file_errors.h"

#include <atomic>
#include <cstdio>
#include <vector>

namespace kvr::ini {

namespace {

std::string system_message(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        length ? std::string(buffer, length) : "System error " + std::to_string(code);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string last_error_text() {
    return system_message(GetLastError());
}

UniqueHandleNull open_file(const std::string& path, DWORD access, DWORD sharing, DWORD creation) {
    const HANDLE file = CreateFileA(path.c_str(), access, sharing, nullptr, creation,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueHandleNull(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

char locale_decimal_separator() {
    char separator[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) < 2)
        return '.';
    return separator[0];
}

bool printable_ascii(std::string_view text) {
    for (const char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

// Case-blind comparison under the user's locale; plain printable ASCII compares as ASCII,
// which gives the same answer much faster.
bool same_entry_name(std::string_view a, std::string_view b) {
    if (printable_ascii(a) && printable_ascii(b)) return ascii_equal_ignore_case(a, b);
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string temporary_path_beside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".~%lx-%lx-%x.tmp", GetCurrentProcessId(), GetTickCount(),
                  counter++);
    return target + suffix;
}

bool move_refused_by_reader(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// Moves temporary over target; a target that a reader holds open is tried again a while.
void move_over(const std::string& temporary, const std::string& target, const std::string& path) {
    constexpr int kAttempts = 200;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(temporary.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        const DWORD error = GetLastError();
        if (!move_refused_by_reader(error) || attempt == kAttempts)
            throw EFCreateError(path, system_message(error));
        Sleep(10);
    }
}

class Win32FileAccess final : public IniFileAccess {
  public:
    bool file_exists(const std::string& path) const override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    void read_file(const std::string& path, std::size_t buffer_size,
                   const ChunkSink& consume) const override {
        const UniqueHandleNull file =
            open_file(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
        if (!file) throw EFOpenError(path, last_error_text());
        std::vector<char> buffer(std::max<std::size_t>(buffer_size, 1));
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                          nullptr))
                throw EFReadError(path, last_error_text());
            if (read == 0) return;
            consume(std::string_view(buffer.data(), read));
        }
    }

    void replace_file(const std::string& path, const ContentProducer& produce) const override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
            throw EFCreateError(path, system_message(ERROR_ACCESS_DENIED));
        const std::string temporary = temporary_path_beside(path);
        UniqueHandleNull file = open_file(temporary, GENERIC_WRITE, 0, CREATE_NEW);
        if (!file) throw EFCreateError(path, last_error_text());
        try {
            produce([&](std::string_view chunk) {
                DWORD written = 0;
                if (!chunk.empty() &&
                    (!WriteFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()),
                                &written, nullptr) ||
                     written != chunk.size()))
                    throw EFWriteError(path, last_error_text());
            });
            if (!CloseHandle(file.release())) throw EFWriteError(path, last_error_text());
            move_over(temporary, path, path);
        } catch (...) {
            file.reset();
            DeleteFileA(temporary.c_str());
            throw;
        }
    }
};

} // namespace

std::shared_ptr<const IniFileAccess> WindowsFileAccess() {
    static const auto access = std::make_shared<const Win32FileAccess>();
    return access;
}

IniPlatform WindowsIniPlatform() {
    IniPlatform platform;
    platform.decimal_separator = locale_decimal_separator();
    platform.same_entry_name = same_entry_name;
    platform.files = WindowsFileAccess();
    return platform;
}

} // namespace kvr::ini
