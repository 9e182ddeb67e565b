#pragma once
// The application object: owns the top-level forms and may name one of them the main form.
// There is one per process (Application()); it lives until the process ends or the library
// is unloaded, and frees the forms it still owns then. Library shutdown code that must free
// forms earlier (while their windows can still be destroyed) calls DestroyComponents().

#include "component/component.h"

#include <string>

namespace kvr {

class TApplication : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    // The main form, or nullptr; it becomes nullptr when that form is destroyed.
    TComponent* MainForm() const { return main_form_.get(); }
    void SetMainForm(TComponent* form) { main_form_.reset(form); }

    // The help file that help requests without a file of their own use.
    const std::string& HelpFile() const { return help_file_; }
    void SetHelpFile(std::string file) { help_file_ = std::move(file); }

  private:
    TComponentRef<TComponent> main_form_;
    std::string help_file_;
};

// The process's application object. Its list of forms is changed on the user-interface
// thread only.
TApplication& Application();

} // namespace kvr
