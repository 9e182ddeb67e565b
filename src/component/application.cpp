#include "component/application.h"

namespace kvr {

const ClassInfo& TApplication::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TApplication>("TApplication", TComponent::StaticClassInfo())
            .ansi_string("HelpFile", &TApplication::HelpFile, &TApplication::SetHelpFile)
            .object<TComponent>("MainForm", &TApplication::MainForm)
            .build();
    return info;
}

std::string TApplication::HelpFile() const {
    std::lock_guard lock(help_guard_);
    return help_file_;
}

void TApplication::SetHelpFile(std::string file) {
    std::lock_guard lock(help_guard_);
    help_file_ = std::move(file);
}

std::uint64_t TApplication::InstallHelpHandler(THelpEvent handler) {
    std::lock_guard lock(help_guard_);
    const std::uint64_t token = next_help_token_++;
    help_handlers_.emplace_back(token, std::move(handler));
    return token;
}

void TApplication::RemoveHelpHandler(std::uint64_t token) {
    std::lock_guard lock(help_guard_);
    std::erase_if(help_handlers_, [token](const auto& entry) { return entry.first == token; });
}

bool TApplication::HelpCommand(std::uint16_t command, std::intptr_t data) {
    THelpEvent handler;
    {
        std::lock_guard lock(help_guard_);
        if (help_handlers_.empty()) return false;
        handler = help_handlers_.back().second;
    }
    bool call_help = false;
    return handler && handler(command, data, call_help);
}

TApplication& Application() {
    static TApplication application; // the process's one application object
    return application;
}

} // namespace kvr
