// After an accepted dialog, the other instances that keep their settings at the same place
// reload them: at once when they belong to the dialog's thread, through message 1812 to
// their host window when another thread owns them; other places are left alone.

#include "dialog_driver.h"
#include "dialog_fixture.h"

#include <thread>

TEST(DialogSiblings, AnAcceptedDialogMakesInstancesOfTheSamePlaceReload) {
    SettingsFile settings("Var1=Temp\r\nVar2=Hum\r\n");
    HostWindow host;
    const char* place = "Software\\KvrDialogTests\\Siblings";
    Instance dialog_instance(settings, host.handle(), 11, place);
    Instance same_thread(settings, host.handle(), 22, place);
    Instance elsewhere(settings, host.handle(), 44, "Software\\KvrDialogTests\\Elsewhere");
    std::unique_ptr<Instance> other_thread;
    std::thread([&] {
        other_thread = std::make_unique<Instance>(settings, host.handle(), 33, place);
    }).join();
    EXPECT_EQ("", same_thread.record({{"Temp", 1}}));
    EXPECT_EQ("", elsewhere.record({{"Temp", 1}}));
    host.messages().clear();

    const int32_t status = dialog_instance.show_dialog([](Dialog& dialog) {
        EXPECT_TRUE(dialog.replace_text(dialog.combo_edit(1), L"Wind"));
        dialog.click(dialog.button(L"OK"));
    });
    ASSERT_EQ(1, status);

    // The instance of this thread reloaded at once: Temp and Wind, nothing held.
    EXPECT_EQ("", same_thread.record({{"Wind", 2}}));
    EXPECT_EQ("Wind Temp", same_thread.record({{"Temp", 3}}));
    // The other thread's instance is reached through its host window.
    std::vector<WPARAM> reload_requests;
    for (const ReceivedMessage& message : host.messages())
        if (message.message == KVR_MSG_RELOAD_SETTINGS) reload_requests.push_back(message.wparam);
    EXPECT_EQ(std::vector<WPARAM>{33}, reload_requests);
    // The instance with settings elsewhere still holds Temp and waits for Hum.
    EXPECT_EQ("Temp Hum", elsewhere.record({{"Hum", 4}}));
}
