#pragma once
// File errors of the settings area. Each carries the path it concerns and a message that names
// the step that failed and the system's reason.

#include "common/errors.h"

#include <string>

namespace kvr {

// Base of every failure to read or write a file; catch this to handle them all.
class EFileError : public Exception {
  public:
    EFileError(const std::string& message, std::string path)
        : Exception(message), path_(std::move(path)) {}
    const std::string& path() const noexcept { return path_; }
    const char* class_name() const noexcept override { return "EFileError"; }

  private:
    std::string path_;
};

// An existing file could not be opened for reading: 'Cannot open file "<path>". <reason>'.
class EFOpenError : public EFileError {
  public:
    EFOpenError(const std::string& path, const std::string& reason)
        : EFileError("Cannot open file \"" + path + "\". " + reason, path) {}
    const char* class_name() const noexcept override { return "EFOpenError"; }
};

// An opened file could not be read to its end: 'Cannot read file "<path>". <reason>'.
class EFReadError : public EFileError {
  public:
    EFReadError(const std::string& path, const std::string& reason)
        : EFileError("Cannot read file \"" + path + "\". " + reason, path) {}
    const char* class_name() const noexcept override { return "EFReadError"; }
};

// A file could not be created or put in place: 'Cannot create file "<path>". <reason>'.
// denied() is true when the system refused access (a folder or file the process may not
// write), as opposed to a path that does not work at all.
class EFCreateError : public EFileError {
  public:
    EFCreateError(const std::string& path, const std::string& reason, bool denied = false)
        : EFileError("Cannot create file \"" + path + "\". " + reason, path), denied_(denied) {}
    const char* class_name() const noexcept override { return "EFCreateError"; }
    bool denied() const noexcept { return denied_; }

  private:
    bool denied_;
};

// Writing the contents of a file failed: 'Cannot write file "<path>". <reason>'.
class EFWriteError : public EFileError {
  public:
    EFWriteError(const std::string& path, const std::string& reason)
        : EFileError("Cannot write file \"" + path + "\". " + reason, path) {}
    const char* class_name() const noexcept override { return "EFWriteError"; }
};

} // namespace kvr
