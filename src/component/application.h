#pragma once
// The application object: owns the top-level forms and may name one of them the main form.
// There is one per process (Application()); it lives until the process ends or the library
// is unloaded, and frees the forms it still owns then. Library shutdown code that must free
// forms earlier (while their windows can still be destroyed) calls DestroyComponents().
//
// Help requests (F1, a help button) reach the help handler installed last.

#include "component/component.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kvr {

// Help commands, as the help handler receives them.
inline constexpr std::uint16_t kHelpContext = 1;      // data: a help context number
inline constexpr std::uint16_t kHelpContextPopup = 8; // data: a help context number
inline constexpr std::uint16_t kHelpFinder = 11;      // the help file's contents

// A help handler answers whether it handled the command; it sets CallHelp to ask for the
// toolkit's own help as well.
using THelpEvent = std::function<bool(std::uint16_t Command, std::intptr_t Data, bool& CallHelp)>;

class TApplication : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    // The main form, or nullptr; it becomes nullptr when that form is destroyed.
    TComponent* MainForm() const { return main_form_.get(); }
    void SetMainForm(TComponent* form) { main_form_.reset(form); }

    // The help file that help requests without a file of their own use. [any thread]
    std::string HelpFile() const;
    void SetHelpFile(std::string file);

    // Installs a help handler ahead of those installed before and answers a token that
    // removes it again (whatever was installed in between). [any thread]
    std::uint64_t InstallHelpHandler(THelpEvent handler);
    void RemoveHelpHandler(std::uint64_t token);
    // Hands a help command to the handler installed last; its answer, or false without one.
    // The handler runs outside the application's lock. [any thread]
    bool HelpCommand(std::uint16_t command, std::intptr_t data);
    bool HelpContext(std::int32_t context) { return HelpCommand(kHelpContext, context); }

  private:
    TComponentRef<TComponent> main_form_;
    mutable std::mutex help_guard_;
    std::string help_file_;
    std::vector<std::pair<std::uint64_t, THelpEvent>> help_handlers_;
    std::uint64_t next_help_token_ = 1;
};

// The process's application object. Its list of forms is changed on the user-interface
// thread only.
TApplication& Application();

} // namespace kvr
