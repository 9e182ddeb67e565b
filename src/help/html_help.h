#pragma once
// THtmlHelp: a non-visual component that routes the application's help requests to the HTML
// Help viewer, so that F1 or a form's help button opens the help file at the topic of the
// control's help context. While it lives it is the application's help handler.
//
// When the last such component goes, the viewer's windows close and its library is freed; a
// later component loads it again.

#include "component/component.h"

#include <windows.h>

#include <memory>
#include <string>

namespace kvr {

class THtmlHelp : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    THtmlHelp();
    ~THtmlHelp() override;

    // ---- Published properties, in this order ----
    // The compiled help file.
    std::string ChmFile() const;
    void SetChmFile(std::string file);
    // A window definition of the help file; empty for its default window.
    std::string WinDef() const;
    void SetWinDef(std::string definition);
    // True: take the application's help file when the form's definition is loaded. Setting it
    // to true clears ChmFile.
    bool DefaultFile() const;
    void SetDefaultFile(bool value);

    // With DefaultFile, ChmFile becomes the application's help file, with the program's
    // folder put in front when it names none.
    void Loaded() override;

    // Opens the help file at the context: the viewer's window, or nullptr when the viewer is
    // unavailable.
    HWND ShowContext(std::int32_t context);

    // The help handler: contexts open their topic (true); the contents (true when the viewer
    // is available, else false); every other command is answered true without showing
    // anything. CallHelp is always set to false.
    bool HelpHandler(std::uint16_t command, std::intptr_t data, bool& call_help);

    struct Settings; // what the handler needs, shared with the copy the application holds

  private:
    std::shared_ptr<Settings> settings_;
    std::uint64_t handler_token_ = 0;
};

} // namespace kvr
