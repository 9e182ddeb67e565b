#include "settings/ini_file_lock.h"

namespace kvr {

std::string IniLockName(std::string_view ini_path) {
    std::string name(ini_path);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        const bool keeps = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!keeps) c = '_';
    }
    return name;
}

} // namespace kvr
