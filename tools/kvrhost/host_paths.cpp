#include "host_paths.h"

#include <windows.h>

#include <memory>

namespace kvrhost {

namespace {

// Wine's own export that maps a Linux file name to a DOS one; absent on Windows.
using DosFileNameOf = WCHAR*(CDECL*)(LPCSTR);

DosFileNameOf wine_dos_file_name() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<DosFileNameOf>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
}

struct HeapFreer {
    void operator()(WCHAR* text) const { HeapFree(GetProcessHeap(), 0, text); }
};

} // namespace

std::string host_path(const std::string& path) {
    // "//server/share" and "\\..." stay Windows paths.
    if (path.size() < 2 || path[0] != '/' || path[1] == '/') return path;
    static const DosFileNameOf dos_file_name = wine_dos_file_name();
    if (!dos_file_name) return path;
    const std::unique_ptr<WCHAR, HeapFreer> dos(dos_file_name(path.c_str()));
    if (!dos) return path;
    const int length = lstrlenW(dos.get());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, dos.get(), length, nullptr, 0, nullptr, nullptr);
    std::string converted(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, dos.get(), length, converted.data(), bytes, nullptr, nullptr);
    return converted;
}

} // namespace kvrhost
