#pragma once
// Writing a settings file back whole without losing it or what makes it that file.
//
// ReplaceFileContents writes the new contents into a temporary file beside the file and puts
// it in place of the old one, so a failure at any point leaves the old file whole. The file
// keeps its identity: a symbolic link is followed and the file it names is replaced (the link
// stays); the replaced file's attributes and access rights pass to the new one; a file with
// more than one name (hard links) is rewritten in place, so every name sees the change; and
// where the folder refuses a new file but the file itself may be written, the file is
// rewritten in place instead of failing. An in-place rewrite never cuts the old contents
// first: the new bytes go over the old ones, and on any failure the old bytes are written back
// into the space they already had and the file is cut to its old length.
//
// The steps come from FileSteps, one implementation per platform; tests put failures there.

#include "settings/file_errors.h"
#include "settings/ini_platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kvr::ini {

// What a replacement needs to know of a path.
struct FileFacts {
    bool exists = false;
    bool is_folder = false;
    bool read_only = false;  // the file itself refuses writers
    std::uint32_t names = 1; // hard links to the file
};

// A file open for writing. Dropping it closes it.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    // Writes bytes at the current position. Throws EFWriteError (a full disk, say).
    virtual void write(std::string_view bytes) = 0;
    // Goes back to the start of the file.
    virtual void rewind() = 0;
    // Makes the file size bytes long. Throws EFWriteError.
    virtual void resize(std::uint64_t size) = 0;
    // Makes sure everything written is in the file. Throws EFWriteError.
    virtual void flush() = 0;
};

// The file system operations a replacement is made of.
class FileSteps {
  public:
    virtual ~FileSteps() = default;
    virtual FileFacts facts(const std::string& path) const = 0;
    // The path of the file itself: symbolic links resolved; the path as given otherwise.
    virtual std::string final_path(const std::string& path) const = 0;
    // A new, empty file beside target; its path goes to temporary. Throws EFCreateError, with
    // denied() when the folder does not let this process create a file.
    virtual std::unique_ptr<FileWriter> create_beside(const std::string& target,
                                                      std::string& temporary) const = 0;
    // The existing file opened for writing without cutting it. Throws EFCreateError.
    virtual std::unique_ptr<FileWriter> open_existing(const std::string& path) const = 0;
    // The whole file. Throws EFOpenError / EFReadError.
    virtual std::string read_all(const std::string& path) const = 0;
    // Gives to (a new file) the attributes and access rights of from, as far as the platform
    // keeps them. Throws EFCreateError when it cannot.
    virtual void copy_identity(const std::string& from, const std::string& to) const = 0;
    // Puts temporary in place of target (which exists when target_exists). Throws
    // EFCreateError; target is then unchanged and temporary still there.
    virtual void replace(const std::string& temporary, const std::string& target,
                         bool target_exists) const = 0;
    virtual void remove(const std::string& path) const noexcept = 0;
};

// Makes produce's bytes the new contents of path as described above. On failure the file is
// as it was and no temporary file is left. Throws EFCreateError when the file cannot be
// created or replaced (a folder at the path, a read-only file, a missing or refusing folder),
// EFWriteError when writing fails, or whatever produce throws.
void ReplaceFileContents(const FileSteps& steps, const std::string& path,
                         const ContentProducer& produce);

// The steps through the C and C++ standard libraries (permission bits as the access rights).
const FileSteps& standard_file_steps();

} // namespace kvr::ini
