#include "help/html_help.h"

#include "component/application.h"
#include "help/help_path.h"
#include "help/html_help_library.h"

#include <atomic>
#include <mutex>

namespace kvr {

struct THtmlHelp::Settings {
    mutable std::mutex guard;
    std::string chm_file;
    std::string window_definition;
    bool default_file = true;

    std::string help_path() const {
        std::lock_guard lock(guard);
        return help::HelpPath(chm_file, {}, window_definition);
    }
};

namespace {

std::atomic<int> g_live_components{0};

// The window the viewer is owned by: the window active on this thread (the dialog that
// asks), or none.
HWND viewer_owner() {
    return GetActiveWindow();
}

HWND show_context(const THtmlHelp::Settings& settings, std::int32_t context) {
    if (!html_help::Available()) return nullptr;
    return html_help::Call(viewer_owner(), settings.help_path(), html_help::kHelpContext,
                           static_cast<DWORD_PTR>(static_cast<std::uint32_t>(context)));
}

bool handle_help(const THtmlHelp::Settings& settings, std::uint16_t command, std::intptr_t data,
                 bool& call_help) {
    call_help = false;
    switch (command) {
    case kHelpContext:
    case kHelpContextPopup:
        show_context(settings, static_cast<std::int32_t>(data));
        return true;
    case kHelpFinder:
        if (!html_help::Available()) return false;
        html_help::Call(viewer_owner(), settings.help_path(), html_help::kDisplayToc, 0);
        return true;
    default:
        return true;
    }
}

std::string program_folder() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, DWORD(sizeof path));
    std::string file(path, length);
    const std::size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

} // namespace

const ClassInfo& THtmlHelp::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<THtmlHelp>("THtmlHelp", TComponent::StaticClassInfo())
            .ansi_string("ChmFile", &THtmlHelp::ChmFile, &THtmlHelp::SetChmFile)
            .ansi_string("WinDef", &THtmlHelp::WinDef, &THtmlHelp::SetWinDef)
            .boolean("DefaultFile", &THtmlHelp::DefaultFile, &THtmlHelp::SetDefaultFile)
            .build();
    return info;
}

THtmlHelp::THtmlHelp() : settings_(std::make_shared<Settings>()) {
    ++g_live_components;
    handler_token_ = Application().InstallHelpHandler(
        [settings = settings_](std::uint16_t command, std::intptr_t data, bool& call_help) {
            return handle_help(*settings, command, data, call_help);
        });
}

THtmlHelp::~THtmlHelp() {
    Application().RemoveHelpHandler(handler_token_);
    if (--g_live_components == 0) html_help::Unload(false);
}

std::string THtmlHelp::ChmFile() const {
    std::lock_guard lock(settings_->guard);
    return settings_->chm_file;
}

void THtmlHelp::SetChmFile(std::string file) {
    std::lock_guard lock(settings_->guard);
    settings_->chm_file = std::move(file);
}

std::string THtmlHelp::WinDef() const {
    std::lock_guard lock(settings_->guard);
    return settings_->window_definition;
}

void THtmlHelp::SetWinDef(std::string definition) {
    std::lock_guard lock(settings_->guard);
    settings_->window_definition = std::move(definition);
}

bool THtmlHelp::DefaultFile() const {
    std::lock_guard lock(settings_->guard);
    return settings_->default_file;
}

void THtmlHelp::SetDefaultFile(bool value) {
    std::lock_guard lock(settings_->guard);
    settings_->default_file = value;
    if (value) settings_->chm_file.clear();
}

void THtmlHelp::Loaded() {
    if (!DefaultFile()) return;
    std::string file = Application().HelpFile();
    if (!file.empty() && file.find_first_of("\\/:") == std::string::npos)
        file = program_folder() + file;
    SetChmFile(std::move(file));
}

HWND THtmlHelp::ShowContext(std::int32_t context) {
    return show_context(*settings_, context);
}

bool THtmlHelp::HelpHandler(std::uint16_t command, std::intptr_t data, bool& call_help) {
    return handle_help(*settings_, command, data, call_help);
}

} // namespace kvr
