#pragma once
// A host for long runs against aggregation.dll, written from the public header only: the
// library and its entry points, call records and parameter lists, a host window on a thread
// of its own that takes the module's log lines, and the checks those runs make on what the
// module hands back (rows lists, log lines, the heap bytes in use).

#include "kvrhost/plugin_library.h"

#include <kvr/plugin_abi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stress {

// aggregation.dll with its twelve entry points, loaded as kvrhost loads a plug-in.
using Plugin = kvrhost::PluginLibrary;

// A parameter list made on the host's side, freed with the header's helper.
class List {
  public:
    explicit List(bool rows = false) : list_(kvr_list_new(rows)) {}
    ~List() { kvr_list_free(list_); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    kvr_params_list* get() const { return list_; }
    List& text(const char* name, const std::string& value);
    List& integer(const char* name, int32_t value);
    List& handle(const char* name, const void* value);

  private:
    kvr_params_list* list_;
};

// A call record for one instance key.
TPluginCallRec record(uint32_t key, kvr_params_list* params = nullptr);

// Runs a command (its name goes into the list); answers the result code.
int32_t run_command(Plugin& plugin, uint32_t key, List& params, const char* command);
// Releases the instance of a key (CallMode 0xFF).
void release_instance(Plugin& plugin, uint32_t key);

// Why a rows list that the module handed on is not well formed, or "" when it is: the module's
// own rows-list class, the live tag, a list id, counts within the capacity, every block of the
// process heap, items of the item class with names and lower-case names of the module's
// 8-bit strings, values of the types a module stores (8-bit strings become OLE strings), and
// the last row closed by the row separator. An events list may be empty.
std::string rows_list_problem(const kvr_params_list* rows, bool may_be_empty = false);

// Why a text of log lines (each followed by CR LF) or one log line (without) is malformed, or
// "" when it is: a line is a type character (codes 1 to 3), the module's log title and ". ",
// and a text without line breaks.
std::string log_text_problem(const std::string& text, bool one_line);

// Bytes allocated and not freed in every heap of the process, counted by walking the heaps.
uint64_t heap_bytes_in_use();

// The folder of the running program, and a fresh file name in the temporary folder.
std::string program_folder();
std::string temp_file(const std::string& stem, const std::string& extension);

// A host window on a thread of its own. It takes every log line the module sends
// (WM_COPYDATA), fetches queued lines with GetLogEx when told to (1809), and checks each
// against log_text_problem; it answers the reload request (1812) by counting it.
class LogWindow {
  public:
    explicit LogWindow(Plugin& plugin);
    ~LogWindow();
    LogWindow(const LogWindow&) = delete;
    LogWindow& operator=(const LogWindow&) = delete;

    HWND handle() const { return window_; }
    // Fetching queued lines calls the module with the notified key; while off (between
    // rounds, when every instance is released) notifications are only counted.
    void set_fetching(bool on) { fetching_ = on; }
    // Returns once every message sent or posted to the window before has been handled.
    void drain();
    uint64_t lines() const { return lines_; }
    // The problems found so far (the first few), each with the text it was found in.
    std::vector<std::string> problems() const;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void take(const std::string& text, bool one_line);
    void fetch(uint32_t key);

    Plugin& plugin_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::atomic<bool> fetching_{true};
    std::atomic<uint64_t> lines_{0};
    mutable std::mutex problems_guard_;
    std::vector<std::string> problems_;
};

} // namespace stress
