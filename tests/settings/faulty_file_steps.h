#pragma once
// File steps that pass to real ones (settings/file_replace.h) and fail where a test says: a
// folder that refuses new files, a read-only file, a disk that fills after a number of bytes,
// a replacement that the system refuses.

#include "settings/file_replace.h"

#include <limits>
#include <memory>
#include <string>

namespace kvr::testing {

class FaultyFileSteps final : public ini::FileSteps {
  public:
    explicit FaultyFileSteps(const ini::FileSteps& real) : real_(real) {}

    bool folder_refuses_new_files = false;
    bool file_read_only = false;
    bool replace_refused = false;
    // Bytes any file may still take before writes fail as on a full disk.
    mutable std::uint64_t disk_space = std::numeric_limits<std::uint64_t>::max();

    ini::FileFacts facts(const std::string& path) const override {
        ini::FileFacts facts = real_.facts(path);
        if (facts.exists && file_read_only) facts.read_only = true;
        return facts;
    }
    std::string final_path(const std::string& path) const override {
        return real_.final_path(path);
    }
    std::unique_ptr<ini::FileWriter> create_beside(const std::string& target,
                                                   std::string& temporary) const override {
        if (folder_refuses_new_files) throw EFCreateError(target, "Access is denied.", true);
        auto real = real_.create_beside(target, temporary);
        return std::make_unique<Writer>(std::move(real), temporary, *this);
    }
    std::unique_ptr<ini::FileWriter> open_existing(const std::string& path) const override {
        if (file_read_only) throw EFCreateError(path, "Access is denied.", true);
        return std::make_unique<Writer>(real_.open_existing(path), path, *this);
    }
    std::string read_all(const std::string& path) const override { return real_.read_all(path); }
    void copy_identity(const std::string& from, const std::string& to) const override {
        real_.copy_identity(from, to);
    }
    void replace(const std::string& temporary, const std::string& target,
                 bool target_exists) const override {
        if (replace_refused) throw EFCreateError(target, "Access is denied.", true);
        real_.replace(temporary, target, target_exists);
    }
    void remove(const std::string& path) const noexcept override { real_.remove(path); }

  private:
    // Counts what a write would take from the disk: a rewrite over existing bytes takes nothing
    // new until it passes the old end, which is what keeps an in-place rewrite restorable.
    class Writer final : public ini::FileWriter {
      public:
        Writer(std::unique_ptr<ini::FileWriter> real, std::string path,
               const FaultyFileSteps& steps)
            : real_(std::move(real)), path_(std::move(path)), steps_(steps) {}
        void write(std::string_view bytes) override {
            if (steps_.disk_space < bytes.size()) { // what fits is written, as on a real disk
                real_->write(bytes.substr(0, steps_.disk_space));
                steps_.disk_space = 0;
                throw EFWriteError(path_, "No space left on device");
            }
            steps_.disk_space -= bytes.size();
            real_->write(bytes);
        }
        void rewind() override {
            steps_.disk_space = std::numeric_limits<std::uint64_t>::max();
            real_->rewind();
        }
        void resize(std::uint64_t size) override { real_->resize(size); }
        void flush() override { real_->flush(); }

      private:
        std::unique_ptr<ini::FileWriter> real_;
        std::string path_;
        const FaultyFileSteps& steps_;
    };

    const ini::FileSteps& real_;
};

// INI file access whose writes go through steps (reads are the standard ones).
class FileAccessThrough final : public ini::IniFileAccess {
  public:
    explicit FileAccessThrough(
        std::shared_ptr<const ini::FileSteps> steps,
        std::shared_ptr<const ini::IniFileAccess> reads = ini::standard_file_access())
        : steps_(std::move(steps)), reads_(std::move(reads)) {}
    bool file_exists(const std::string& path) const override { return reads_->file_exists(path); }
    void read_file(const std::string& path, std::size_t buffer_size,
                   const ini::ChunkSink& consume) const override {
        reads_->read_file(path, buffer_size, consume);
    }
    void replace_file(const std::string& path, const ini::ContentProducer& produce) const override {
        ini::ReplaceFileContents(*steps_, path, produce);
    }

  private:
    std::shared_ptr<const ini::FileSteps> steps_;
    std::shared_ptr<const ini::IniFileAccess> reads_;
};

} // namespace kvr::testing
