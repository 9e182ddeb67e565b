// Saving an INI file on Windows keeps what makes it that file (attributes, access rights,
// links) and, when the save cannot be made, keeps the old settings and says why.

#include "faulty_file_steps.h"
#include "temp_dir.h"
#include "wreg_fixtures.h"
#include "wreg_test_support.h"
#include "wreg_win_support.h"

#include "plugin/map_values.h"
#include "plugin/plugin_module.h"
#include "settings/big_ini_file.h"
#include "settings/ini_platform_win32.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <aclapi.h>

using namespace kvr;
using namespace kvr::testing;
using kvr::test::read_bytes;

namespace {

// The access list of a file as bytes; empty when the file system keeps none.
std::string access_rights(const std::string& path) {
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::string descriptor(size, '\0');
    if (size == 0 ||
        !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        return {};
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !acl)
        return {};
    return std::string(reinterpret_cast<const char*>(acl), acl->AclSize);
}

// Gives the file an access list of its own: everyone may read, the owner may do anything.
bool set_own_access_rights(const std::string& path) {
    EXPLICIT_ACCESS_A access[2]{};
    char everyone[] = "EVERYONE";
    char owner[] = "CREATOR OWNER";
    BuildExplicitAccessWithNameA(&access[0], everyone, GENERIC_READ | GENERIC_WRITE, SET_ACCESS,
                                 NO_INHERITANCE);
    BuildExplicitAccessWithNameA(&access[1], owner, GENERIC_ALL, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    if (SetEntriesInAclA(2, access, nullptr, &acl) != ERROR_SUCCESS) return false;
    std::string name = path;
    const DWORD status =
        SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    return status == ERROR_SUCCESS;
}

class IniIdentity : public ::testing::Test {
  protected:
    IniIdentity() {
        RegisterStandardHandlersOnce();
        wreg.Components = StoreMap();
        wreg.INIFile = path;
        TStoreSettings initial;
        EXPECT_TRUE(wreg.Save(&initial));
        stored = read_bytes(path);
    }
    ~IniIdentity() override {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const std::string& name : {path, other})
            DeleteFileA(name.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    // Saves distinct values through the given name; true when the save says it succeeded.
    bool save_changed(const std::string& name) {
        wreg.INIFile = name;
        TStoreSettings changed;
        FillDistinctValues(changed);
        return wreg.Save(&changed);
    }
    int saved_left(const std::string& name) {
        return TBigIniFile(name).ReadInteger("Common", "Left", 0);
    }

    std::string folder = temporary_folder();
    std::string path = folder + "\\Settings.ini";
    std::string other = folder + "\\Other name.ini";
    TWreg wreg;
    std::string stored;
};

bool only_file_in(const std::string& folder, const std::string& name) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool only = true;
    do {
        const std::string seen = found.cFileName;
        if (seen != "." && seen != ".." && seen != name) only = false;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return only;
}

} // namespace

// Writing through a temporary file gave the settings a new file: without the hidden flag and
// with the folder's default access rights instead of the ones set on the file.
TEST_F(IniIdentity, TheReplacedFileKeepsItsAttributesAndAccessRights) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool rights_kept_here = set_own_access_rights(path) && !access_rights(path).empty();
    const std::string rights = access_rights(path);

    ASSERT_TRUE(save_changed(path));
    EXPECT_EQ(-20, saved_left(path));
    EXPECT_EQ(attributes, GetFileAttributesA(path.c_str()));
    EXPECT_TRUE(only_file_in(folder, "Settings.ini"));
    if (!rights_kept_here) GTEST_SKIP() << "this file system keeps no access lists";
    EXPECT_EQ(rights, access_rights(path));
}

TEST_F(IniIdentity, AFolderThatRefusesNewFilesGetsAWritableFileRewrittenInPlace) {
    auto steps = std::make_shared<FaultyFileSteps>(ini::WindowsFileSteps());
    steps->folder_refuses_new_files = true;
    wreg.SetPlatform(TestPlatform(
        nullptr, std::make_shared<FileAccessThrough>(steps, ini::WindowsFileAccess())));
    ASSERT_TRUE(save_changed(path));
    EXPECT_EQ(-20, saved_left(path));

    steps->disk_space = 10; // and when that rewrite fails, the old contents come back
    TStoreSettings again;
    again.var1_text_ = std::string(500, 'x');
    EXPECT_FALSE(wreg.Save(&again));
    EXPECT_EQ(-20, saved_left(path));
    EXPECT_TRUE(only_file_in(folder, "Settings.ini"));
}

// Replacing through a temporary file gave the saved name a new file and left the file's other
// names with the old settings; a symbolic link was replaced by a plain file.
TEST_F(IniIdentity, AHardLinkSeesTheChangeAndASymbolicLinkIsFollowed) {
    ASSERT_TRUE(CreateHardLinkA(other.c_str(), path.c_str(), nullptr));
    ASSERT_TRUE(save_changed(other));
    EXPECT_EQ(-20, saved_left(path));
    ASSERT_TRUE(DeleteFileA(other.c_str()));

    // Wine 8 answers success without making the link.
    if (!CreateSymbolicLinkA(other.c_str(), path.c_str(), 0) ||
        GetFileAttributesA(other.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links here";
    TStoreSettings back;
    wreg.INIFile = other;
    ASSERT_TRUE(wreg.Save(&back));
    EXPECT_TRUE(GetFileAttributesA(other.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "the link was replaced by a file";
    EXPECT_EQ(314, saved_left(path));
}

// A read-only settings file is not written; the module's log says so.
TEST_F(IniIdentity, AReadOnlyFileKeepsItsSettingsAndTheModuleLogsWhy) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const HWND window =
        CreateWindowExA(0, "STATIC", "log", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    TkvrPlugin module{nullptr};
    module.HostWindow = window;
    module.INIFile = path;
    const TStringList map = StoreMap();
    TStoreSettings changed;
    FillDistinctValues(changed);
    EXPECT_FALSE(SaveMapValues(module, &map, &changed));
    EXPECT_EQ(stored, read_bytes(path));
    EXPECT_TRUE(only_file_in(folder, "Settings.ini"));
    const std::vector<std::string> lines = *module.LogLines.LockList();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("Settings not saved")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find(path)) << lines[0];
    DestroyWindow(window);
}
