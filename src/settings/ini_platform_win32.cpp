#include "settings/ini_platform_win32.h"

#include "common/win32_handle.h"
#include "settings/file_errors.h"
#include "settings/file_replace.h"

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

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

bool refused_by_reader(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// The path a handle leads to, without the "\\?\" prefix the system puts in front.
std::string final_path_of(HANDLE file) {
    char buffer[MAX_PATH * 4] = {};
    const DWORD length =
        GetFinalPathNameByHandleA(file, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof buffer) return {};
    std::string path(buffer, length);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

class Win32Writer final : public FileWriter {
  public:
    Win32Writer(UniqueHandleNull file, std::string path)
        : file_(std::move(file)), path_(std::move(path)) {}
    void write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), piece, &written, nullptr) || written == 0)
                throw EFWriteError(path_, last_error_text());
            bytes.remove_prefix(written);
        }
    }
    void rewind() override { move_to(0); }
    void resize(std::uint64_t size) override {
        move_to(size);
        if (!SetEndOfFile(file_.get())) throw EFWriteError(path_, last_error_text());
    }
    // WriteFile hands every byte to the system at once; nothing waits in this process.
    void flush() override {}

  private:
    void move_to(std::uint64_t offset) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN))
            throw EFWriteError(path_, last_error_text());
    }
    UniqueHandleNull file_;
    std::string path_;
};

// The attributes a replaced file passes to its successor.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void copy_creation_time(const std::string& from, const std::string& to) {
    const UniqueHandleNull source = open_file(from, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING);
    const UniqueHandleNull target = open_file(to, FILE_WRITE_ATTRIBUTES, kShareAll, OPEN_EXISTING);
    FILETIME created{};
    if (source && target && GetFileTime(source.get(), &created, nullptr, nullptr))
        SetFileTime(target.get(), &created, nullptr, nullptr);
}

class Win32FileSteps final : public FileSteps {
  public:
    FileFacts facts(const std::string& path) const override {
        FileFacts facts;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
        facts.exists = true;
        facts.is_folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
        facts.read_only = attributes & FILE_ATTRIBUTE_READONLY;
        const UniqueHandleNull file = open_file(path, 0, kShareAll, OPEN_EXISTING);
        BY_HANDLE_FILE_INFORMATION information{};
        if (file && GetFileInformationByHandle(file.get(), &information))
            facts.names = information.nNumberOfLinks;
        return facts;
    }

    // Opening the path follows every link on it; the system then names the file itself.
    // (Not every file system marks a link as a reparse point, so every path is resolved.)
    std::string final_path(const std::string& path) const override {
        const HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return path;
        const UniqueHandleNull owner(file);
        const std::string resolved = final_path_of(file);
        return resolved.empty() ? path : resolved;
    }

    std::unique_ptr<FileWriter> create_beside(const std::string& target,
                                              std::string& temporary) const override {
        temporary = temporary_path_beside(target);
        UniqueHandleNull file = open_file(temporary, GENERIC_WRITE, 0, CREATE_NEW);
        if (!file) {
            const DWORD error = GetLastError();
            throw EFCreateError(target, system_message(error), error == ERROR_ACCESS_DENIED);
        }
        return std::make_unique<Win32Writer>(std::move(file), temporary);
    }

    std::unique_ptr<FileWriter> open_existing(const std::string& path) const override {
        UniqueHandleNull file =
            open_file(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
        if (!file) {
            const DWORD error = GetLastError();
            throw EFCreateError(path, system_message(error), error == ERROR_ACCESS_DENIED);
        }
        return std::make_unique<Win32Writer>(std::move(file), path);
    }

    std::string read_all(const std::string& path) const override {
        std::string text;
        WindowsFileAccess()->read_file(path, kTextBufferSize,
                                       [&text](std::string_view chunk) { text.append(chunk); });
        return text;
    }

    // What ReplaceFile would keep of the replaced file: its attributes, access list and
    // creation time. They are copied here and the new file is then moved over the old one,
    // because Wine's ReplaceFile leaves files of its own behind when it fails.
    void copy_identity(const std::string& from, const std::string& to) const override {
        const DWORD attributes = GetFileAttributesA(from.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes))
            SetFileAttributesA(to.c_str(), attributes & kKeptAttributes);
        copy_creation_time(from, to);
        constexpr SECURITY_INFORMATION kRights = DACL_SECURITY_INFORMATION;
        DWORD size = 0;
        GetFileSecurityA(from.c_str(), kRights, nullptr, 0, &size);
        if (size == 0) return; // the file system keeps no access rights
        std::vector<char> descriptor(size);
        if (!GetFileSecurityA(from.c_str(), kRights, descriptor.data(), size, &size)) return;
        if (!SetFileSecurityA(to.c_str(), kRights, descriptor.data()))
            throw EFCreateError(from, "Its access rights cannot be kept: " + last_error_text());
    }

    void replace(const std::string& temporary, const std::string& target, bool) const override {
        // A reader that holds the file without letting it be replaced is waited for a while.
        constexpr int kAttempts = 200;
        for (int attempt = 1;; ++attempt) {
            if (MoveFileExA(temporary.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return;
            const DWORD error = GetLastError();
            if (!refused_by_reader(error) || attempt == kAttempts)
                throw EFCreateError(target, system_message(error));
            Sleep(10);
        }
    }

    void remove(const std::string& path) const noexcept override { DeleteFileA(path.c_str()); }
};

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
        ReplaceFileContents(WindowsFileSteps(), path, produce);
    }
};

} // namespace

const FileSteps& WindowsFileSteps() {
    static const Win32FileSteps steps;
    return steps;
}

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
