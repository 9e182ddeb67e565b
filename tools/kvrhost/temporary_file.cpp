#include "temporary_file.h"

#include "common/win32_handle.h"

#include <windows.h>

namespace kvrhost {

TemporaryFile::TemporaryFile() {
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) kvr::throw_last_error("GetTempPathA");
    char path[MAX_PATH + 1];
    if (!GetTempFileNameA(folder, "kvr", 0, path)) kvr::throw_last_error("GetTempFileNameA");
    path_ = path;
}

TemporaryFile::~TemporaryFile() {
    DeleteFileA(path_.c_str());
}

} // namespace kvrhost
