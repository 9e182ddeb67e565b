#include "settings/ini_platform.h"

#include "settings/file_errors.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kvr::ini {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string last_error_text() {
    return std::generic_category().message(errno);
}

// The path a write must replace: the target of a symbolic link, or the path itself.
std::string write_target(const std::string& path) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved.string();
}

// A name beside target that no file has yet: target + ".~<hex>.tmp".
std::string unused_temporary_path(const std::string& target) {
    static std::atomic<unsigned long long> counter{0};
    const auto clock = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long mix = clock ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        mix ^= reinterpret_cast<std::uintptr_t>(&target);
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".~%08llx.tmp", mix & 0xFFFFFFFFull);
        std::string candidate = target + suffix;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
    throw EFCreateError(target, "No unused temporary file name beside it.");
}

// Refuses a target that must not be replaced: a folder, or an existing file that this process
// may not open for writing (read-only, or kept open by someone who denies writers).
void check_replaceable(const std::string& path, const std::string& target) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (fs::is_directory(status))
        throw EFCreateError(path, std::make_error_code(std::errc::is_a_directory).message());
    if (!fs::exists(status)) return;
    FilePtr probe(std::fopen(target.c_str(), "ab")); // opening for append changes nothing
    if (!probe) throw EFCreateError(path, last_error_text());
}

void keep_permissions(const std::string& target, const std::string& temporary) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (!error && fs::exists(status)) fs::permissions(temporary, status.permissions(), error);
}

void write_contents(const std::string& path, std::FILE* file, const ContentProducer& produce) {
    produce([&](std::string_view chunk) {
        if (chunk.empty()) return;
        if (std::fwrite(chunk.data(), 1, chunk.size(), file) != chunk.size())
            throw EFWriteError(path, last_error_text());
    });
    if (std::fflush(file) != 0) throw EFWriteError(path, last_error_text());
}

class StandardFileAccess final : public IniFileAccess {
  public:
    bool file_exists(const std::string& path) const override {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        return !error && fs::exists(status) && !fs::is_directory(status);
    }

    void read_file(const std::string& path, std::size_t buffer_size,
                   const ChunkSink& consume) const override {
        FilePtr file(std::fopen(path.c_str(), "rb"));
        if (!file) throw EFOpenError(path, last_error_text());
        std::vector<char> buffer(std::max<std::size_t>(buffer_size, 1));
        for (;;) {
            const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file.get());
            if (count > 0) consume(std::string_view(buffer.data(), count));
            if (count < buffer.size()) break;
        }
        if (std::ferror(file.get())) throw EFReadError(path, last_error_text());
    }

    void replace_file(const std::string& path, const ContentProducer& produce) const override {
        const std::string target = write_target(path);
        check_replaceable(path, target);
        const std::string temporary = unused_temporary_path(target);
        FilePtr file(std::fopen(temporary.c_str(), "wb"));
        if (!file) throw EFCreateError(path, last_error_text());
        std::setvbuf(file.get(), nullptr, _IONBF, 0); // the producer already hands large pieces
        try {
            write_contents(path, file.get(), produce);
            if (std::fclose(file.release()) != 0) throw EFWriteError(path, last_error_text());
            keep_permissions(target, temporary);
            std::error_code error;
            fs::rename(temporary, target, error);
            if (error) throw EFCreateError(path, error.message());
        } catch (...) {
            file.reset();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw;
        }
    }
};

} // namespace

std::shared_ptr<const IniFileAccess> standard_file_access() {
    static const auto access = std::make_shared<const StandardFileAccess>();
    return access;
}

} // namespace kvr::ini
