#pragma once
// What the dialog tests share: a settings file, a loaded instance that reads it, and data
// packets through the instance with the filter role.

#include "dialog_driver.h"
#include "host_fixture.h"

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

// An INI file in the temporary folder with a [Common] section of the given entries (lines
// ending in CR LF); deleted at the end.
class SettingsFile {
  public:
    explicit SettingsFile(const std::string& entries);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const std::string& path() const { return path_; }
    // The entries of [Common] as stored now.
    std::map<std::string, std::string> entries() const;

  private:
    std::string path_;
};

// An instance loaded with a settings file (and a registry path that only tells siblings
// apart); released at the end.
class Instance {
  public:
    explicit Instance(const SettingsFile& settings, HWND host_window = nullptr,
                      uint32_t module_id = 7, const char* registry_path = "");
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    uint32_t key() const { return key_; }
    // SET-ITEMS with an items text ("Caption|Name|Type" lines joined by CR LF).
    void set_items(const char* items);
    // ShowOptionsDialog with the instance's INI file (and the host's window as the owner,
    // when given) while `script` drives the dialog; answers the dialog's status.
    int32_t show_dialog(const std::function<void(Dialog&)>& script, HWND owner = nullptr) const;
    // Hands one packet of numbers on with the filter role; answers the names of the record
    // handed back, joined by blanks, or "" when none was.
    std::string record(std::initializer_list<std::pair<std::string, double>> values) const;

  private:
    uint32_t key_;
    std::string ini_;
};
