#pragma once
// The host's window: it receives the module's notifications (1809 log lines waiting, 1812
// reload request, WM_COPYDATA log text) and prints the log lines as text.

#include "plugin_library.h"

#include <functional>
#include <ostream>
#include <string>

namespace kvrhost {

class HostWindow {
  public:
    // `library` and `instance_key` are used to fetch queued lines with GetLogEx. A visible
    // window is an ordinary top-level window of the host (one a dialog can be placed over);
    // otherwise it is a message-only window.
    HostWindow(PluginLibrary& library, uint32_t instance_key, std::ostream& log_out,
               bool visible = false);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND handle() const { return window_; }
    // Runs the thread's pending messages (and so prints what arrived).
    void pump();
    // Fetches and prints any queued lines now.
    void fetch_queued_lines();
    // Called with the ModuleId of a 1812 request.
    std::function<void(uint32_t)> on_reload_request;

    // Prints one log line: "<type> <title and message>".
    static std::string describe_line(const std::string& line);

  private:
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    void print_text(const std::string& text);

    PluginLibrary& library_;
    uint32_t key_;
    std::ostream& out_;
    HWND window_ = nullptr;
};

} // namespace kvrhost
