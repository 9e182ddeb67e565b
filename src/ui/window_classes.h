#pragma once
// What every window of the toolkit needs: the module that registers its window classes, the
// classes themselves, control identifiers, and the common-controls version 6 activation
// context of the module's manifest, so that the controls look like those of a current
// Windows dialog.

#include <windows.h>

#include <string_view>

namespace kvr::ui {

// The module (DLL or program) that holds the toolkit's code.
HINSTANCE ToolkitModule();

// Registers (once per process) a window class of that name whose messages the toolkit's
// controls handle through subclassing: button-face background, arrow cursor. Throws EOSError
// when Windows refuses.
void EnsureWindowClass(std::wstring_view name);

// A control identifier unique in the process (from 100 up, clear of IDOK and IDCANCEL).
int NextControlId();

// Activates the common-controls version 6 context of the toolkit module's manifest (resource
// 2) while it lives, and registers the common control classes once: windows made meanwhile
// are current Windows controls. Without such a manifest (a test program) the system's default
// controls are used.
class [[nodiscard]] VisualStylesScope {
  public:
    VisualStylesScope();
    ~VisualStylesScope();
    VisualStylesScope(const VisualStylesScope&) = delete;
    VisualStylesScope& operator=(const VisualStylesScope&) = delete;

  private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

} // namespace kvr::ui
