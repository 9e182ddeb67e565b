#pragma once
// Helpers of the settings store tests: the standard handlers registered once, and file access
// that counts what the store does and fails when told to.

#include "settings/custom_props.h"
#include "settings/file_errors.h"
#include "settings/ini_platform.h"
#include "settings/wreg_platform.h"

#include <memory>
#include <string>

namespace kvr::testing {

// The library registers the combo-box handler at start; test programs do it here, once.
inline void RegisterStandardHandlersOnce() {
    static const bool registered = (RegisterStandardWregCustomProps(), true);
    (void)registered;
}

// The standard file access, counting reads and writes, failing them on request.
class ScriptedFileAccess : public ini::IniFileAccess {
  public:
    bool file_exists(const std::string& path) const override { return real_->file_exists(path); }
    void read_file(const std::string& path, std::size_t buffer_size,
                   const ini::ChunkSink& consume) const override {
        if (fail_reads) throw EFOpenError(path, "Access is denied.");
        ++reads;
        real_->read_file(path, buffer_size, consume);
    }
    void replace_file(const std::string& path, const ini::ContentProducer& produce) const override {
        if (fail_writes) throw EFCreateError(path, "Access is denied.");
        ++writes;
        real_->replace_file(path, produce);
    }

    bool fail_reads = false;
    bool fail_writes = false;
    mutable int reads = 0;
    mutable int writes = 0;

  private:
    std::shared_ptr<const ini::IniFileAccess> real_ = ini::standard_file_access();
};

// A store platform with the given registry (may be null) and INI file access.
inline WregPlatform TestPlatform(std::shared_ptr<const RegistryAccess> registry,
                                 std::shared_ptr<const ini::IniFileAccess> files = nullptr,
                                 char decimal_separator = '.') {
    WregPlatform platform;
    platform.registry = std::move(registry);
    platform.ini_platform = [files, decimal_separator] {
        ini::IniPlatform ini;
        ini.decimal_separator = decimal_separator;
        if (files) ini.files = files;
        return ini;
    };
    return platform;
}

} // namespace kvr::testing
