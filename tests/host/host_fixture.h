#pragma once
// A host written only from the public header: it loads aggregation.dll, builds call records
// and parameter lists, and owns a window that receives the module's messages.

#include <kvr/plugin_abi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ReceivedMessage {
    UINT message;
    WPARAM wparam;
    ULONG_PTR copy_kind; // WM_COPYDATA only
    std::string text;    // WM_COPYDATA only
};

// The plug-in library, loaded once for all tests of the program.
struct Plugin {
    static Plugin& get();
    HMODULE module = nullptr;
    kvr_GetPluginIntfVersion GetPluginIntfVersion;
    kvr_GetAppMinVersion GetAppMinVersion;
    kvr_GetModuleDescription GetModuleDescription;
    kvr_GetModuleType GetModuleType;
    kvr_MultiThreadSupport MultiThreadSupport;
    kvr_GetCustomCommands GetCustomCommands;
    kvr_GetLogEx GetLogEx;
    kvr_ShowOptionsDialog ShowOptionsDialog;
    kvr_ExecutePluginCommand ExecutePluginCommand;
    kvr_GetData GetData;
    kvr_GetEvents GetEvents;
    kvr_ProcessData ProcessData;
};

// A window of the test thread that records what the module sends or posts to it.
class HostWindow {
  public:
    HostWindow();
    ~HostWindow();
    HWND handle() const { return window_; }
    // Runs the thread's pending messages, then answers what has arrived so far.
    std::vector<ReceivedMessage>& messages();
    // Makes the window stop answering: its procedure sleeps for `ms` on every message.
    static void set_hang_ms(DWORD ms);

  private:
    HWND window_ = nullptr;
};

// A fresh call record and parameter list for one instance key.
class Call {
  public:
    explicit Call(uint32_t key);
    ~Call();
    TPluginCallRec rec{};
    kvr_params_list* params;
    void reset();
    Call& text(const char* name, const char* value) {
        kvr_list_add_text(params, name, value);
        return *this;
    }
    Call& integer(const char* name, int32_t value) {
        kvr_list_add_int(params, name, value);
        return *this;
    }
    int32_t command(const char* name);
    // The text of an item of the list (after a command wrote it).
    std::string value_text(const char* name) const;
};

// Memory the test may hand over as a pointer that is not what it claims: a page that may not
// be touched at all, and the readable and writable page just before it.
class ForbiddenPage {
  public:
    ForbiddenPage();
    ~ForbiddenPage();
    ForbiddenPage(const ForbiddenPage&) = delete;
    ForbiddenPage& operator=(const ForbiddenPage&) = delete;
    // An address inside the page that may not be read or written.
    char* forbidden() const { return base_ + page_; }
    // `bytes` usable bytes that end where the forbidden page begins.
    char* usable_end(size_t bytes) const { return base_ + page_ - bytes; }
    // An OLE string value whose characters lie in the forbidden page.
    VARIANT forbidden_text() const;

  private:
    char* base_;
    size_t page_;
};

// A path in the temporary folder, unique to this process and call ("STEM_PID_N.ini").
std::string temp_ini_path(const std::string& stem);

// A new instance key for each test, so tests never share an instance.
uint32_t fresh_key();
// Releases the instance of a key.
void release(uint32_t key);
// LOAD with a host window, answers the result.
int32_t load(uint32_t key, HWND window, uint32_t module_id = 7);
// Text of a BSTR value.
std::string bstr_text(const VARIANT& value);
