#pragma once
// A fresh, empty file in the temporary folder, deleted when the object goes: the settings file
// of a run or a dialog that was given no settings location.

#include <string>

namespace kvrhost {

class TemporaryFile {
  public:
    // Creates the file; throws when the temporary folder has no room or cannot be found.
    TemporaryFile();
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

} // namespace kvrhost
