// Context help from the options dialog: F1 and the caption's help button hand the help file
// beside the DLL and context 80 to the HTML Help viewer found through its class registration;
// without a viewer, without its entry points or without the help file nothing happens.
//
// The viewer's registration is replaced for this process only (RegOverridePredefKey of
// HKEY_CLASSES_ROOT), by a stand-in library that writes its calls down, or by nothing.

#include "dialog_driver.h"
#include "dialog_fixture.h"

#include <filesystem>

namespace {

constexpr const char* kTestClasses = "Software\\KvrDialogTests\\Classes";
constexpr const char* kViewerKey =
    "Software\\KvrDialogTests\\Classes\\CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}"
    "\\InprocServer32";

std::string program_folder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    return file.substr(0, file.find_last_of('\\') + 1);
}

// HKEY_CLASSES_ROOT of this process is a key of the test's own, where the viewer is
// registered as `viewer` (not at all when empty).
class ViewerRegistration {
  public:
    explicit ViewerRegistration(const std::string& viewer) {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KvrDialogTests");
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, viewer.empty() ? kTestClasses : kViewerKey, 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (!viewer.empty())
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(viewer.c_str()),
                           DWORD(viewer.size() + 1));
        RegCloseKey(key);
        RegOpenKeyExA(HKEY_CURRENT_USER, kTestClasses, 0, KEY_ALL_ACCESS, &classes_);
        EXPECT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_));
    }
    ~ViewerRegistration() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(classes_);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KvrDialogTests");
    }

  private:
    HKEY classes_ = nullptr;
};

// The stand-in viewer, loaded by the test as well so that its notes outlive the dialog's use.
struct FakeViewer {
    FakeViewer() : module(LoadLibraryA((program_folder() + "fake_html_help.dll").c_str())) {
        calls = reinterpret_cast<const char* (*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "FakeHelpCalls")));
        clear = reinterpret_cast<void (*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "FakeHelpClear")));
        clear();
    }
    ~FakeViewer() { FreeLibrary(module); }
    std::string file() const { return program_folder() + "fake_html_help.dll"; }
    HMODULE module;
    const char* (*calls)();
    void (*clear)();
};

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// F1 on the focused control, then the caption's help button, then Escape.
void ask_for_help(Dialog& dialog) {
    dialog.key(dialog.button(L"Cancel"), VK_F1);
    PostMessageW(dialog.window(), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
    dialog.key(dialog.button(L"Cancel"), VK_ESCAPE);
}

BOOL CALLBACK count_viewer_window(HWND window, LPARAM data) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (std::wstring(name) == L"HH Parent" && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(data);
    return TRUE;
}

// Top-level windows of the help viewer on a thread.
int viewer_windows(DWORD thread) {
    int found = 0;
    EnumThreadWindows(thread, count_viewer_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

TEST(DialogHelp, F1AndTheHelpButtonAskTheViewerForTheHelpFileAtContext80) {
    FakeViewer viewer;
    ASSERT_TRUE(viewer.calls);
    ViewerRegistration registration(viewer.file());
    SettingsFile settings("");
    Instance instance(settings);
    EXPECT_EQ(0, instance.show_dialog([&](Dialog& dialog) {
        dialog.key(dialog.button(L"Cancel"), VK_F1);
        EXPECT_TRUE(Dialog::wait_for([&] { return count(viewer.calls(), "15|") == 1; }));
        PostMessageW(dialog.window(), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        EXPECT_TRUE(Dialog::wait_for([&] { return count(viewer.calls(), "15|") == 2; }));
        dialog.key(dialog.button(L"Cancel"), VK_ESCAPE);
    }));
    const std::string help_request = "15|" + program_folder() + "aggregation.chm|80\n";
    // Initialised once, asked twice, and closed with the dialog.
    EXPECT_EQ("28||cookie\n" + help_request + help_request + "18||0\n29||24301\n",
              std::string(viewer.calls()));
}

TEST(DialogHelp, WithoutAViewerOrItsEntryPointsHelpDoesNothing) {
    FakeViewer viewer;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    for (const std::string& registered : {std::string(), program_folder() + "no_such_viewer.dll",
                                          std::string(system) + "\\kernel32.dll"}) {
        SCOPED_TRACE(registered);
        ViewerRegistration registration(registered);
        SettingsFile settings("");
        Instance instance(settings);
        EXPECT_EQ(0, instance.show_dialog(ask_for_help));
    }
    EXPECT_EQ("", std::string(viewer.calls()));
}

TEST(DialogHelp, TheSystemsViewerOpensTheHelpFileAndNothingWithoutIt) {
    const DWORD thread = GetCurrentThreadId();
    SettingsFile settings("");
    Instance instance(settings);
    EXPECT_EQ(0, instance.show_dialog([&](Dialog& dialog) {
        dialog.key(dialog.button(L"Cancel"), VK_F1);
        EXPECT_TRUE(Dialog::wait_for([&] { return viewer_windows(thread) == 1; }))
            << "the help viewer did not show";
        dialog.key(dialog.button(L"Cancel"), VK_ESCAPE);
    }));
    EXPECT_EQ(0, viewer_windows(thread)) << "help windows go with the dialog";

    // Without the help file beside the DLL the viewer shows nothing, and the dialog goes on.
    const std::filesystem::path help = program_folder() + "aggregation.chm";
    const std::filesystem::path aside = program_folder() + "aggregation.chm.aside";
    std::filesystem::rename(help, aside);
    EXPECT_EQ(0, instance.show_dialog(ask_for_help));
    EXPECT_EQ(0, viewer_windows(thread));
    std::filesystem::rename(aside, help);
}
