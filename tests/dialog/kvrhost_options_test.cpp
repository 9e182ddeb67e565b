// `kvrhost options` in process: it announces the parser items, opens the dialog over its own
// host window, and prints the status and the settings stored at the location it named.

#include "dialog_driver.h"
#include "dialog_fixture.h"

#include "kvrhost/options_command.h"

#include <fstream>
#include <sstream>

TEST(KvrhostOptions, OpensTheDialogOverItsWindowAndPrintsStatusAndStoredSettings) {
    SettingsFile settings("Timeout=250\r\n");
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string items = std::string(folder) + "kvrhost_options_items_" +
                              std::to_string(GetCurrentProcessId()) + ".txt";
    std::ofstream(items, std::ios::binary) << "Zeta\nalpha\nBeta:Float\n";

    kvrhost::OptionsCommandOptions options;
    options.plugin = "aggregation.dll";
    options.key = fresh_key();
    options.ini_file = settings.path();
    options.items_file = items;
    options.owner_window = true;
    std::ostringstream out;
    std::ostringstream err;
    int exit_code = -1;
    drive_dialog(
        [&] { exit_code = kvrhost::show_options_dialog(options, out, err); },
        [](Dialog& dialog) {
            EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Beta", L"Zeta"}), dialog.items(0));
            // Centred over the host's window, which owns it.
            const HWND host = GetWindow(dialog.window(), GW_OWNER);
            const RECT owner = dialog.screen_rect(host);
            const RECT shown = dialog.screen_rect(dialog.window());
            EXPECT_EQ(owner.left + (owner.right - owner.left - (shown.right - shown.left)) / 2,
                      shown.left);
            EXPECT_TRUE(dialog.replace_text(dialog.combo_edit(0), L"alpha"));
            dialog.click(dialog.button(L"OK"));
        });
    DeleteFileA(items.c_str());
    EXPECT_EQ(0, exit_code) << err.str();
    const std::string printed = out.str();
    EXPECT_TRUE(printed.starts_with("status: 1 (accepted)\nstored settings:\n")) << printed;
    EXPECT_NE(std::string::npos, printed.find("\n  Var1=alpha\n")) << printed;
    EXPECT_NE(std::string::npos, printed.find("\n  Timeout=250\n")) << printed;
    EXPECT_EQ("alpha", settings.entries().at("Var1"));
}
