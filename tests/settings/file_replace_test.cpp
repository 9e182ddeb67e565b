// Writing a settings file back keeps the old file whole on every failure and keeps the file's
// identity: the fallback to an in-place rewrite, hard links, and a disk that fills up.

#include "faulty_file_steps.h"
#include "temp_dir.h"

#include "settings/big_ini_file.h"

#include <gtest/gtest.h>

using kvr::test::read_bytes;
using kvr::test::TempDir;
using kvr::test::write_bytes;
using kvr::testing::FaultyFileSteps;
namespace fs = std::filesystem;

namespace {

const std::string kOld = "[Common]\r\nLeft=314\r\nVar1=speed\r\n\r\n";
const std::string kLonger = "[Common]\r\nLeft=2\r\nVar1=a much longer value than before\r\n\r\n";

void replace_with(const kvr::ini::FileSteps& steps, const std::string& path,
                  const std::string& text) {
    kvr::ini::ReplaceFileContents(steps, path, [&](const kvr::ini::ChunkSink& sink) {
        sink(text.substr(0, 7)); // in pieces, as the engine writes
        sink(text.substr(7));
    });
}

class FileReplace : public ::testing::Test {
  protected:
    FileReplace() { write_bytes(path, kOld); }
    TempDir dir;
    std::string path = dir.file("settings.ini");
    FaultyFileSteps steps{kvr::ini::standard_file_steps()};
};

} // namespace

// A folder where the module may not create files used to fail every save, although a plain
// write to the file would have worked.
TEST_F(FileReplace, AFolderThatRefusesNewFilesGetsTheFileRewrittenInPlace) {
    steps.folder_refuses_new_files = true;
    replace_with(steps, path, kLonger);
    EXPECT_EQ(kLonger, read_bytes(path));
    replace_with(steps, path, kOld); // shorter again: the file is cut to the new length
    EXPECT_EQ(kOld, read_bytes(path));
    EXPECT_EQ("settings.ini", dir.listing());
}

TEST_F(FileReplace, AFolderThatRefusesNewFilesStillFailsForAFileThatDoesNotExistYet) {
    steps.folder_refuses_new_files = true;
    const std::string missing = dir.file("new.ini");
    try {
        replace_with(steps, missing, kOld);
        ADD_FAILURE() << "no error";
    } catch (const kvr::EFCreateError& error) {
        EXPECT_TRUE(error.denied());
    }
    EXPECT_EQ("settings.ini", dir.listing());
}

TEST_F(FileReplace, ADiskThatFillsUpLeavesTheOldFileWholeOnEitherWay) {
    for (const bool in_place : {false, true}) {
        SCOPED_TRACE(in_place ? "in place" : "through a temporary file");
        steps.folder_refuses_new_files = in_place;
        steps.disk_space = kOld.size() + 3; // the longer text does not fit
        EXPECT_THROW(replace_with(steps, path, kLonger), kvr::EFWriteError);
        EXPECT_EQ(kOld, read_bytes(path));
        EXPECT_EQ("settings.ini", dir.listing());
    }
}

TEST_F(FileReplace, AReadOnlyFileOrARefusedReplacementChangesNothing) {
    steps.file_read_only = true;
    EXPECT_THROW(replace_with(steps, path, kLonger), kvr::EFCreateError);
    steps.file_read_only = false;
    steps.replace_refused = true;
    EXPECT_THROW(replace_with(steps, path, kLonger), kvr::EFCreateError);
    EXPECT_EQ(kOld, read_bytes(path));
    EXPECT_EQ("settings.ini", dir.listing());
}

// Replacing through a temporary file gave the saved name a new file and left every other name
// of the old one behind with the old settings.
TEST_F(FileReplace, AFileWithSeveralNamesIsRewrittenSoEveryNameSeesTheChange) {
    const std::string other = dir.file("other-name.ini");
    std::error_code error;
    fs::create_hard_link(path, other, error);
    if (error) GTEST_SKIP() << "no hard links here: " << error.message();
    if (fs::hard_link_count(path, error) != 2)
        GTEST_SKIP() << "the standard library counts no file names here (the Windows build "
                        "counts them with its own file layer)";
    {
        kvr::TBigIniFile ini(path);
        ini.WriteInteger("Common", "Left", 2);
    }
    EXPECT_EQ(2, kvr::TBigIniFile(other).ReadInteger("Common", "Left", 0));
    EXPECT_TRUE(fs::equivalent(path, other));
    EXPECT_EQ("other-name.ini|settings.ini", dir.listing());
}
