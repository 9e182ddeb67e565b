#include "settings/big_ini_file.h"
#include "settings/file_errors.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>

using kvr::TBigIniFile;
using kvr::test::read_bytes;
using kvr::test::TempDir;
using kvr::test::write_bytes;
namespace fs = std::filesystem;

namespace {

const std::string kOriginal = "[Common]\r\nLeft=314\r\nVar1=speed\r\n\r\n";

// Standard file access whose writes fail, like a full disk, after a number of bytes.
class DiskFullAfter : public kvr::ini::IniFileAccess {
  public:
    explicit DiskFullAfter(std::size_t limit) : limit_(limit) {}
    bool file_exists(const std::string& path) const override { return real_->file_exists(path); }
    void read_file(const std::string& path, std::size_t buffer_size,
                   const kvr::ini::ChunkSink& consume) const override {
        real_->read_file(path, buffer_size, consume);
    }
    void replace_file(const std::string& path,
                      const kvr::ini::ContentProducer& produce) const override {
        real_->replace_file(path, [&](const kvr::ini::ChunkSink& sink) {
            std::size_t written = 0;
            produce([&](std::string_view chunk) {
                if (written + chunk.size() > limit_)
                    throw kvr::EFWriteError(path, "No space left on device");
                sink(chunk);
                written += chunk.size();
            });
        });
    }

  private:
    std::shared_ptr<const kvr::ini::IniFileAccess> real_ = kvr::ini::standard_file_access();
    std::size_t limit_;
};

std::string big_settings_text(int sections, int entries) {
    std::string text;
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int e = 0; e < entries; ++e)
            text += "Entry" + std::to_string(e) + "=" + std::to_string(s * entries + e) + "\r\n";
        text += "\r\n";
    }
    return text;
}

} // namespace

TEST(IniFileWrite, UpdateReplacesTheFileWithoutLeavingTemporaryFiles) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    write_bytes(path, kOriginal);
    TBigIniFile ini(path);
    ini.WriteInteger("Common", "Left", 10);
    ini.UpdateFile();
    EXPECT_EQ("[Common]\r\nLeft=10\r\nVar1=speed\r\n\r\n", read_bytes(path));
    EXPECT_EQ("settings.ini", dir.listing());
}

// Writing used to truncate the file first, so a write that failed half-way lost every setting.
TEST(IniFileWrite, AWriteThatFailsHalfWayLeavesTheOriginalWhole) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    const std::string original = big_settings_text(700, 300); // several write buffers long
    ASSERT_GT(original.size(), 3 * TBigIniFile::TextBufferSize);
    write_bytes(path, original);
    kvr::ini::IniPlatform platform;
    platform.files = std::make_shared<DiskFullAfter>(TBigIniFile::TextBufferSize + 10);
    TBigIniFile ini(path, platform);
    ini.WriteString("Section0", "Entry0", "changed");
    EXPECT_THROW(ini.UpdateFile(), kvr::EFWriteError);
    EXPECT_FALSE(ini.Modified());
    EXPECT_TRUE(original == read_bytes(path)); // no diff print of megabytes
    EXPECT_EQ("settings.ini", dir.listing());
}

TEST(IniFileWrite, AFolderAtThePathIsNeitherReadNorReplaced) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    fs::create_directory(path);
    write_bytes((fs::path(path) / "inside.txt").string(), "keep");
    {
        TBigIniFile ini(path);
        EXPECT_EQ(0, ini.Sections().Count());
        ini.WriteString("S", "x", "1");
        try {
            ini.UpdateFile();
            ADD_FAILURE() << "no error";
        } catch (const kvr::EFCreateError& error) {
            EXPECT_EQ(path, error.path());
            EXPECT_NE(std::string::npos, std::string(error.what()).find(path));
        }
        ini.WriteString("S", "x", "2"); // left for the destructor, which must not throw
    }
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ("keep", read_bytes((fs::path(path) / "inside.txt").string()));
    EXPECT_EQ("settings.ini", dir.listing());
}

TEST(IniFileWrite, AMissingFolderRaisesACreateError) {
    TempDir dir;
    const std::string path = (dir.path() / "missing" / "settings.ini").string();
    TBigIniFile ini(path);
    ini.WriteString("S", "x", "1");
    EXPECT_THROW(ini.UpdateFile(), kvr::EFCreateError);
    EXPECT_EQ("", dir.listing());
}

#ifndef _WIN32
// POSIX permission bits and symbolic links. Windows has neither in this form: its read-only
// and sharing rules belong to the Windows build's file access and are tested there.

namespace {

// True when this process may write into a folder whatever its permissions say (root).
bool permissions_are_ignored(const TempDir& dir) {
    const fs::path probe_dir = dir.path() / "probe";
    fs::create_directory(probe_dir);
    fs::permissions(probe_dir, fs::perms::owner_read | fs::perms::owner_exec);
    std::FILE* probe = std::fopen((probe_dir / "x").string().c_str(), "wb");
    if (probe) std::fclose(probe);
    fs::permissions(probe_dir, fs::perms::owner_all);
    fs::remove_all(probe_dir);
    return probe != nullptr;
}

} // namespace

TEST(IniFileWrite, AnUnwritableFolderKeepsTheOriginal) {
    TempDir dir;
    if (permissions_are_ignored(dir)) GTEST_SKIP() << "this user writes regardless of permissions";
    const fs::path folder = dir.path() / "locked";
    fs::create_directory(folder);
    const std::string path = (folder / "settings.ini").string();
    write_bytes(path, kOriginal);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    {
        TBigIniFile ini(path);
        ini.WriteString("Common", "Left", "1");
        EXPECT_THROW(ini.UpdateFile(), kvr::EFCreateError);
    }
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(kOriginal, read_bytes(path));
}

TEST(IniFileWrite, AReadOnlyFileIsNotReplacedAndAnUnreadableOneIsNotRead) {
    TempDir dir;
    if (permissions_are_ignored(dir)) GTEST_SKIP() << "this user writes regardless of permissions";
    const std::string path = dir.file("settings.ini");
    write_bytes(path, kOriginal);
    fs::permissions(path, fs::perms::owner_read);
    {
        TBigIniFile ini(path);
        ini.WriteString("Common", "Left", "1");
        EXPECT_THROW(ini.UpdateFile(), kvr::EFCreateError);
    }
    EXPECT_EQ(kOriginal, read_bytes(path));
    fs::permissions(path, fs::perms::none);
    EXPECT_THROW(TBigIniFile ini(path), kvr::EFOpenError);
    fs::permissions(path, fs::perms::owner_all);
}

TEST(IniFileWrite, ALinkIsFollowedAndThePermissionsKept) {
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("link.ini");
    write_bytes(real, kOriginal);
    std::error_code error;
    fs::create_symlink("real.ini", link, error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const auto permissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, permissions);
    {
        TBigIniFile ini(link);
        EXPECT_EQ(314, ini.ReadInteger("Common", "Left", 0));
        ini.WriteInteger("Common", "Left", 20);
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ("[Common]\r\nLeft=20\r\nVar1=speed\r\n\r\n", read_bytes(real));
    EXPECT_EQ(permissions, fs::status(real).permissions());
    EXPECT_EQ("link.ini|real.ini", dir.listing());
}
#endif // _WIN32

// Files far larger than the 1 MiB buffer, with a line longer than it, read and write back whole.
TEST(IniFileWrite, LargeFilesWithLongLinesRoundTrip) {
    TempDir dir;
    const std::string path = dir.file("big.ini");
    const std::string long_value(TBigIniFile::TextBufferSize * 2 + 3, 'L');
    const std::string text =
        big_settings_text(1000, 300) + "[Long]\r\nv=" + long_value + "\r\n\r\n";
    write_bytes(path, text);
    {
        TBigIniFile ini(path);
        EXPECT_EQ(1001, ini.Sections().Count());
        EXPECT_EQ(0, ini.ReadInteger("Section0", "Entry0", -1));
        EXPECT_EQ(299999, ini.ReadInteger("Section999", "Entry299", -1));
        EXPECT_EQ(long_value, ini.ReadString("Long", "v", ""));
        ini.WriteString("Section500", "Entry0", "150000"); // the line as stored
        EXPECT_FALSE(ini.Modified());
        ini.WriteString("Section500", "Extra", "1");
    }
    std::string expected = text;
    const std::string anchor = "Entry299=150299\r\n";
    expected.insert(expected.find(anchor) + anchor.size(), "Extra=1\r\n");
    EXPECT_TRUE(expected == read_bytes(path)); // no diff print of megabytes
}
