#include "settings/ini_platform.h"

#include "settings/file_errors.h"
#include "settings/file_replace.h"

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

bool access_refused(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// A stdio file; the path is kept for resizing and for messages.
class StandardWriter final : public FileWriter {
  public:
    StandardWriter(FilePtr file, std::string path)
        : file_(std::move(file)), path_(std::move(path)) {
        std::setvbuf(file_.get(), nullptr, _IONBF, 0); // the producer already hands large pieces
    }
    void write(std::string_view bytes) override {
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
            throw EFWriteError(path_, last_error_text());
    }
    void rewind() override {
        std::clearerr(file_.get());
        if (std::fseek(file_.get(), 0, SEEK_SET) != 0) throw EFWriteError(path_, last_error_text());
    }
    void resize(std::uint64_t size) override {
        flush();
        std::error_code error;
        fs::resize_file(path_, size, error);
        if (error) throw EFWriteError(path_, error.message());
    }
    void flush() override {
        if (std::fflush(file_.get()) != 0) throw EFWriteError(path_, last_error_text());
    }

  private:
    FilePtr file_;
    std::string path_;
};

class StandardFileSteps final : public FileSteps {
  public:
    FileFacts facts(const std::string& path) const override {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        FileFacts facts;
        facts.exists = !error && fs::exists(status);
        facts.is_folder = facts.exists && fs::is_directory(status);
        if (!facts.exists || facts.is_folder) return facts;
        // Opening for append changes nothing and tells whether this process may write.
        FilePtr probe(std::fopen(path.c_str(), "ab"));
        facts.read_only = !probe && access_refused(errno);
        const auto names = fs::hard_link_count(path, error);
        facts.names = error ? 1 : static_cast<std::uint32_t>(names);
        return facts;
    }

    std::string final_path(const std::string& path) const override {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
        const fs::path resolved = fs::weakly_canonical(path, error);
        return error ? path : resolved.string();
    }

    std::unique_ptr<FileWriter> create_beside(const std::string& target,
                                              std::string& temporary) const override {
        temporary = unused_temporary_path(target);
        FilePtr file(std::fopen(temporary.c_str(), "wb"));
        if (!file) throw EFCreateError(target, last_error_text(), access_refused(errno));
        return std::make_unique<StandardWriter>(std::move(file), temporary);
    }

    std::unique_ptr<FileWriter> open_existing(const std::string& path) const override {
        FilePtr file(std::fopen(path.c_str(), "r+b"));
        if (!file) throw EFCreateError(path, last_error_text(), access_refused(errno));
        return std::make_unique<StandardWriter>(std::move(file), path);
    }

    std::string read_all(const std::string& path) const override {
        std::string text;
        standard_file_access()->read_file(path, kTextBufferSize,
                                          [&text](std::string_view chunk) { text.append(chunk); });
        return text;
    }

    void copy_identity(const std::string& from, const std::string& to) const override {
        std::error_code error;
        const fs::file_status status = fs::status(from, error);
        if (!error) fs::permissions(to, status.permissions(), error);
        if (error)
            throw EFCreateError(from, "Its access rights cannot be kept: " + error.message());
    }

    void replace(const std::string& temporary, const std::string& target, bool) const override {
        std::error_code error;
        fs::rename(temporary, target, error);
        if (error) throw EFCreateError(target, error.message());
    }

    void remove(const std::string& path) const noexcept override {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
};

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
        ReplaceFileContents(standard_file_steps(), path, produce);
    }
};

} // namespace

const FileSteps& standard_file_steps() {
    static const StandardFileSteps steps;
    return steps;
}

std::shared_ptr<const IniFileAccess> standard_file_access() {
    static const auto access = std::make_shared<const StandardFileAccess>();
    return access;
}

} // namespace kvr::ini
