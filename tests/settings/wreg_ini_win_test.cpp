// The settings store with INI files on Windows: the locale's rules, file access with the
// system's sharing modes, and the named lock that other modules share.

#include "wreg_fixtures.h"
#include "wreg_test_support.h"
#include "wreg_win_support.h"

#include "settings/big_ini_file.h"
#include "settings/ini_file_lock.h"
#include "settings/ini_platform_win32.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

using namespace kvr;
using namespace kvr::testing;

namespace {

std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_whole(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class WindowsIniStore : public ::testing::Test {
  protected:
    WindowsIniStore() {
        RegisterStandardHandlersOnce();
        wreg.INIFile = path;
        wreg.Components = StoreMap();
    }
    ~WindowsIniStore() override {
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    std::string folder = temporary_folder();
    std::string path = folder + "\\Settings.ini";
    TWreg wreg;
};

char locale_separator() {
    char separator[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator);
    return separator[0];
}

} // namespace

TEST_F(WindowsIniStore, FormAndSettingsObjectRoundTripThroughTheSameMap) {
    TStoreForm form;
    FillDistinctValues(form);
    ASSERT_TRUE(wreg.Save(&form));
    const std::string text = read_whole(path);
    EXPECT_EQ(0u, text.find("[Common]\r\nLeft=-20\r\nTop=40\r\n")) << text;
    EXPECT_NE(std::string::npos,
              text.find(std::string("Timeout=1") + locale_separator() + "5\r\n"));
    EXPECT_NE(std::string::npos, text.find("Var1=++speed 50%%%2B\r\nVar2=line%0D%0Abreak\r\n"));

    TStoreSettings settings;
    ASSERT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(-20, settings.left_);
    EXPECT_EQ("  speed 50%+", settings.var1_text_);
    EXPECT_EQ("line\r\nbreak", settings.var2_text_);
    EXPECT_EQ(1.5, settings.timeout_);
    EXPECT_TRUE(settings.no_reset_);

    settings.var1_text_ = "from the settings object";
    ASSERT_TRUE(wreg.Save(&settings));
    TStoreForm reloaded;
    ASSERT_TRUE(wreg.Load(&reloaded));
    EXPECT_EQ("from the settings object", reloaded.var1().text_);
    EXPECT_EQ(2, reloaded.var1().index_);
    EXPECT_TRUE(reloaded.chkNoReset().checked_);
}

TEST_F(WindowsIniStore, PlatformFollowsTheUserLocale) {
    const ini::IniPlatform platform = ini::WindowsIniPlatform();
    EXPECT_EQ(locale_separator(), platform.decimal_separator);
    EXPECT_TRUE(platform.same_entry_name("No Reset", "no reset"));
    EXPECT_FALSE(platform.same_entry_name("No reset", "No reset2"));
    EXPECT_TRUE(platform.same_entry_name("\xc9t\xe9", "\xe9T\xc9")) << "Windows-1252 letters";
    write_whole(path, "[Common]\r\nTimeout=1,5\r\n");
    TStoreSettings settings;
    ASSERT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(1.5, settings.timeout_);
}

TEST_F(WindowsIniStore, SaveWaitsForAReaderThatHoldsTheFileBriefly) {
    write_whole(path, "[Common]\r\nLeft=1\r\n");
    const HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    std::thread reading([reader] {
        Sleep(200);
        CloseHandle(reader);
    });
    TStoreSettings settings;
    const bool saved = wreg.Save(&settings);
    reading.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(314, TBigIniFile(path).ReadInteger("Common", "Left", 0));
}

TEST_F(WindowsIniStore, FileThatCannotBeReplacedKeepsItsContentsAndSaveFails) {
    const std::string text = "[Common]\r\nLeft=1\r\n";
    write_whole(path, text);
    // A reader that lets nobody rename or write the file keeps it for longer than the store
    // waits.
    const HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    TStoreSettings settings;
    const bool saved = wreg.Save(&settings);
    CloseHandle(reader);
    EXPECT_FALSE(saved);
    EXPECT_EQ(text, read_whole(path));
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a temporary file was left: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(WindowsIniStore, LockIsTheNamedEventAndSharedBlockOtherModulesUse) {
    const std::string name = IniLockName(path);
    const IniFileLock outer(path);
    const IniFileLock inner(path);
    const UniqueHandleNull event(OpenEventA(SYNCHRONIZE, FALSE, ("Optex_Event_" + name).c_str()));
    EXPECT_TRUE(event);
    const UniqueHandleNull mapping(
        OpenFileMappingA(FILE_MAP_READ, FALSE, ("Optex_MMF_" + name).c_str()));
    ASSERT_TRUE(mapping);
    const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 16));
    ASSERT_TRUE(view);
    const auto* block = static_cast<const LONG*>(view.get());
    EXPECT_EQ(IniFileLock::kSpinCount, block[0]);
    EXPECT_EQ(2, block[1]) << "lock count";
    EXPECT_EQ(static_cast<LONG>(GetCurrentThreadId()), block[2]) << "holder";
    EXPECT_EQ(2, block[3]) << "recursion";
}
