// The options form as a host opens it: what Enter, OK and typed text leave in the store and in
// the engine, the variable lists, the layout, and a dialog that is open while another thread
// streams data into the same instance.

#include "dialog_driver.h"
#include "dialog_fixture.h"

#include <atomic>
#include <thread>

namespace {

const std::vector<std::wstring> kNoItems;

// A name of bytes above 127 that the system code page maps to characters and back.
std::string non_ascii_name() {
    std::string name = "W";
    for (int byte = 0xC0; byte <= 0xFF && name.size() < 12; ++byte) {
        const std::string one(1, char(byte));
        const std::wstring wide = wide_from_ansi(one);
        char back[8] = {};
        BOOL lossy = FALSE;
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), back, sizeof back, nullptr,
                            &lossy);
        if (wide.size() == 1 && !lossy && back[0] == one[0] && !IsCharUpperW(wide[0])) name += one;
    }
    return name;
}

} // namespace

TEST(OptionsForm, EnterWithoutMovingTheFocusCancelsAndStoresOnlyTheGeometry) {
    SettingsFile settings("Var1=Temp\r\nVar2=Hum\r\nTimeout=600000.5\r\n");
    Instance instance(settings);
    EXPECT_EQ("", instance.record({{"Temp", 1}}));
    const int32_t status = instance.show_dialog([](Dialog& dialog) {
        SetWindowPos(dialog.window(), nullptr, 123, 111, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(dialog.button(L"Cancel"), dialog.focus());
        dialog.key(dialog.button(L"Cancel"), VK_RETURN);
    });
    EXPECT_EQ(0, status);
    const auto stored = settings.entries();
    EXPECT_EQ("123", stored.at("Left"));
    EXPECT_EQ("111", stored.at("Top"));
    EXPECT_TRUE(stored.contains("Width") && stored.contains("Height"));
    EXPECT_EQ(7u, stored.size()) << "only the geometry joins the settings";
    EXPECT_EQ("Temp", stored.at("Var1"));
    EXPECT_EQ("600000.5", stored.at("Timeout"));
    // The engine kept the value it held before the dialog.
    EXPECT_EQ("Temp Hum", instance.record({{"Hum", 2}}));
}

TEST(OptionsForm, OkWithoutChangesStoresEveryValueAndRestartsCollection) {
    SettingsFile settings("Var1=Temp\r\nVar3=Hum\r\nTimeout=600000.5\r\nNo reset=True\r\n");
    Instance instance(settings);
    EXPECT_EQ("", instance.record({{"Temp", 1}}));
    EXPECT_EQ(1, instance.show_dialog([](Dialog& dialog) { dialog.click(dialog.button(L"OK")); }));
    const auto stored = settings.entries();
    EXPECT_EQ(14u, stored.size()); // geometry, eight variables, timeout, no-reset
    EXPECT_EQ("Temp", stored.at("Var1"));
    EXPECT_EQ("", stored.at("Var2")) << "an empty list is stored as empty text";
    EXPECT_EQ("Hum", stored.at("Var3"));
    EXPECT_EQ("600000.5", stored.at("Timeout"));
    EXPECT_EQ("True", stored.at("No reset"));
    // The new settings object emptied the held values; the no-reset option came back with it.
    EXPECT_EQ("", instance.record({{"Hum", 2}}));
    EXPECT_EQ("Hum Temp", instance.record({{"Temp", 3}}));
    EXPECT_EQ("Hum Temp", instance.record({{"Hum", 4}}));
}

TEST(OptionsForm, EveryListOffersTheParserItemsInTheControlsSortedOrder) {
    SettingsFile settings("");
    Instance instance(settings);
    instance.set_items("Zeta|Zeta\r\nalpha|alpha\r\nBeta|Beta|Float");
    instance.show_dialog([](Dialog& dialog) {
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"Beta", L"Zeta"}), dialog.items(i))
                << "var" << i + 1;
        dialog.key(dialog.button(L"Cancel"), VK_ESCAPE);
    });
}

TEST(OptionsForm, WithoutParserItemsTypedNamesAreStoredByteForByte) {
    SettingsFile settings("");
    Instance instance(settings);
    std::string long_name = "Long_";
    while (long_name.size() < 255)
        long_name += char('a' + long_name.size() % 26);
    const std::string accented = non_ascii_name();
    ASSERT_GT(accented.size(), 1u) << "the system code page has no such characters";
    const int32_t status = instance.show_dialog([&](Dialog& dialog) {
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(kNoItems, dialog.items(i));
        EXPECT_TRUE(dialog.replace_text(dialog.combo_edit(0), wide_from_ansi(long_name)));
        EXPECT_TRUE(dialog.replace_text(dialog.combo_edit(1), wide_from_ansi(accented)));
        dialog.click(dialog.button(L"OK"));
    });
    EXPECT_EQ(1, status);
    EXPECT_EQ(long_name, settings.entries().at("Var1"));
    EXPECT_EQ(accented, settings.entries().at("Var2"));
    EXPECT_EQ("", instance.record({{long_name, 1}}));
    EXPECT_EQ(long_name + " " + accented, instance.record({{accented, 2}}));
}

TEST(OptionsForm, TheTimeoutRefusesTextThatIsNoNumber) {
    SettingsFile settings("Var1=Temp\r\nTimeout=40\r\n");
    Instance instance(settings);
    const int32_t status = instance.show_dialog([](Dialog& dialog) {
        const HWND edit = dialog.spin_edit();
        EXPECT_EQ(L"40", dialog.text(edit));
        EXPECT_TRUE(dialog.replace_text(edit, L"1500"));
        dialog.type(edit, L"abc ms!");
        dialog.type(edit, L"0"); // shows once the keys before it were handled
        EXPECT_TRUE(Dialog::wait_for([&] { return dialog.text(edit) == L"15000"; }))
            << "letters, blanks and signs other than + - . are refused";
        dialog.key(edit, VK_UP); // the up button's key
        EXPECT_TRUE(Dialog::wait_for([&] { return dialog.text(edit) == L"15001"; }));
        // Pasted text that is no number leaves the last number as the value.
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"7 days"));
        dialog.click(dialog.button(L"OK"));
    });
    EXPECT_EQ(1, status);
    EXPECT_EQ("15001", settings.entries().at("Timeout"));
}

TEST(OptionsForm, TheLayoutFollowsTheDialogsWidth) {
    SettingsFile settings("");
    Instance instance(settings);
    instance.show_dialog([](Dialog& dialog) {
        const HWND ok = dialog.button(L"OK");
        const HWND cancel = dialog.button(L"Cancel");
        const HWND box = GetParent(dialog.combo(0));
        const auto client_width = [](HWND window) {
            RECT client{};
            GetClientRect(window, &client);
            return client.right;
        };
        const LONG right_gap = client_width(box) - dialog.rect_in_parent(dialog.combo(1)).right;
        const LONG left_width = dialog.rect_in_parent(dialog.combo(0)).right;
        const RECT before = dialog.screen_rect(dialog.window());
        const LONG wider = 500 - client_width(GetParent(ok));
        SetWindowPos(dialog.window(), nullptr, 0, 0, before.right - before.left + wider,
                     before.bottom - before.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(500, client_width(GetParent(ok)));
        EXPECT_EQ(173, dialog.rect_in_parent(ok).left);
        EXPECT_EQ(252, dialog.rect_in_parent(cancel).left);
        // The right column keeps its distance to the box's right edge; the left one stretches.
        EXPECT_EQ(right_gap, client_width(box) - dialog.rect_in_parent(dialog.combo(1)).right);
        EXPECT_EQ(left_width + wider, dialog.rect_in_parent(dialog.combo(0)).right);
        dialog.key(cancel, VK_ESCAPE);
    });
}

TEST(OptionsForm, DataStreamedDuringTheDialogMeetsTheOldSettingsUntilOk) {
    SettingsFile settings("Var1=Temp\r\nVar2=Hum\r\n");
    Instance instance(settings);
    std::atomic<bool> stop{false};
    std::atomic<int> records{0};
    std::thread stream([&] {
        while (!stop)
            if (instance.record({{"Temp", 1}, {"Hum", 2}}) == "Temp Hum") ++records;
    });
    const int32_t status = instance.show_dialog([&](Dialog& dialog) {
        EXPECT_TRUE(dialog.replace_text(dialog.combo_edit(1), L"Wind"));
        const int before = records;
        EXPECT_TRUE(Dialog::wait_for([&] { return records > before + 20; }))
            << "records stopped while the dialog was open";
        dialog.click(dialog.button(L"OK"));
    });
    stop = true;
    stream.join();
    EXPECT_EQ(1, status);
    EXPECT_EQ("", instance.record({{"Temp", 1}, {"Hum", 2}}));
    EXPECT_EQ("Temp Hum Wind", instance.record({{"Wind", 3}}));
}
