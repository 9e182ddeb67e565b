#pragma once
// The module (DLL or program) whose code calls this: a DLL's own instance, not the host
// executable's. Inline, so each module that uses it gets its own copy and finds itself.

#include <windows.h>

namespace kvr {

inline HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

} // namespace kvr
