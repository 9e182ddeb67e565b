#pragma once
// Input of the host read with the system's file reads, in large blocks: a file, or standard
// input (a pipe hands over what it holds, so a live source is read as it comes).

#include "common/win32_handle.h"
#include "kvrhost/core/line_reader.h"

#include <windows.h>

#include <string>

namespace kvrhost {

class HandleSource final : public ByteSource {
  public:
    // Reads from a handle it does not own.
    explicit HandleSource(HANDLE handle) : handle_(handle) {}
    // Opens a file for reading (others may go on writing it); throws std::runtime_error
    // "cannot open PATH" when it cannot.
    static HandleSource open_file(const std::string& path);

    // The end of a file or of a closed pipe answers 0; any other failure throws
    // std::runtime_error naming the system's error code.
    std::size_t read(char* buffer, std::size_t capacity) override;

  private:
    HandleSource(HANDLE handle, kvr::UniqueHandleNull owned)
        : handle_(handle), owned_(std::move(owned)) {}

    HANDLE handle_;
    kvr::UniqueHandleNull owned_;
};

} // namespace kvrhost
