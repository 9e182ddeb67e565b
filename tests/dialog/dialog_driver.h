#pragma once
// Drives the options dialog that ShowOptionsDialog shows on the test's thread from a second
// thread, with the window messages a user's clicks and keys bring: mouse button messages,
// key messages and typed characters, posted to the controls' windows.

#include "host_fixture.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class Dialog {
  public:
    // Waits for the options dialog of the thread to show (at most 30 s).
    explicit Dialog(DWORD ui_thread);

    bool found() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    // The variable lists var1 .. var8 as 0 .. 7, and the edit field of one.
    HWND combo(int index) const;
    HWND combo_edit(int index) const;
    HWND button(std::wstring_view caption) const;
    HWND spin_edit() const; // the edit field of the timeout
    HWND check_box() const;
    // The window that has the keyboard focus on the dialog's thread.
    HWND focus() const;

    // What the controls show, read through messages to their thread.
    std::wstring text(HWND control) const;
    std::vector<std::wstring> items(int combo_index) const;
    // A window's rectangle on the screen, and relative to its parent's client area.
    RECT screen_rect(HWND control) const;
    RECT rect_in_parent(HWND control) const;

    void click(HWND control) const;
    void key(HWND control, WORD virtual_key) const;
    void type(HWND control, std::wstring_view text) const;
    // Clicks into an edit field, selects what it holds and types text over it; true once the
    // field shows the text.
    bool replace_text(HWND edit, std::wstring_view text) const;

    // Polls until the condition holds; false when it did not within 30 s.
    static bool wait_for(const std::function<bool()>& condition);

  private:
    HWND child(HWND parent, std::wstring_view class_name, std::wstring_view text,
               int index = 0) const;
    HWND window_ = nullptr;
    DWORD thread_;
};

// Runs `show` (which opens the options dialog modally) on this thread while `script` drives
// the dialog from another thread. A dialog that is still open when the script has finished
// is a failure, and is closed.
void drive_dialog(const std::function<void()>& show, const std::function<void(Dialog&)>& script);

// drive_dialog for ShowOptionsDialog with `call`; answers the status the record holds after.
int32_t run_dialog(Call& call, const std::function<void(Dialog&)>& script);

// The ANSI text as the wide text a user types.
std::wstring wide_from_ansi(const std::string& text);
