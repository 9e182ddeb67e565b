#include "dialog_fixture.h"

#include <fstream>
#include <sstream>

SettingsFile::SettingsFile(const std::string& entries) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    path_ = std::string(folder) + "options_dialog_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(fresh_key()) + ".ini";
    std::ofstream(path_, std::ios::binary) << "[Common]\r\n" << entries;
}

SettingsFile::~SettingsFile() {
    DeleteFileA(path_.c_str());
}

std::map<std::string, std::string> SettingsFile::entries() const {
    std::ifstream in(path_, std::ios::binary);
    std::map<std::string, std::string> entries;
    std::string line;
    bool common = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with('[')) common = line == "[Common]";
        const size_t equals = line.find('=');
        if (common && equals != std::string::npos)
            entries[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return entries;
}

Instance::Instance(const SettingsFile& settings, HWND host_window, uint32_t module_id,
                   const char* registry_path)
    : key_(fresh_key()), ini_(settings.path()) {
    Call call(key_);
    call.rec.ModuleId = module_id;
    call.text("INI-FILE", ini_.c_str()).text("RegistryPath", registry_path);
    if (host_window) kvr_list_add_handle(call.params, "MessagesProcessorHandle", host_window);
    EXPECT_EQ(0, call.command("LOAD"));
}

Instance::~Instance() {
    Call call(key_);
    call.text("INI-FILE", ini_.c_str());
    call.command("UNLOAD");
    release(key_);
}

void Instance::set_items(const char* items) {
    Call call(key_);
    call.text("ITEMS", items);
    EXPECT_EQ(0, call.command("SET-ITEMS"));
}

int32_t Instance::show_dialog(const std::function<void(Dialog&)>& script, HWND owner) const {
    Call call(key_);
    call.text("INI-FILE", ini_.c_str());
    if (owner) kvr_list_add_handle(call.params, "OWNERFORM", owner);
    return run_dialog(call, script);
}

std::string Instance::record(std::initializer_list<std::pair<std::string, double>> values) const {
    kvr_params_list* packet = kvr_list_new(0);
    for (const auto& [name, value] : values)
        kvr_list_add_double(packet, name.c_str(), value);
    Call call(key_);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
    call.rec.Data = packet;
    Plugin::get().ProcessData(&call.rec);
    std::string names;
    if (call.rec.ResultKind == KVR_RESULTKIND_ROWS_LIST && call.rec.ResultValue) {
        const auto* rows = reinterpret_cast<const kvr_params_list*>(call.rec.ResultValue);
        for (int32_t i = 0; i < rows->Count; ++i) {
            const std::string name = rows->Items[i]->Name;
            if (name == KVR_ROW_SEPARATOR) continue;
            names += (names.empty() ? "" : " ") + name;
        }
    }
    kvr_list_free(packet);
    return names;
}
