#include "translation/language_output.h"

#include "translation/language_io.h"

#include "fake_text_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvr {
namespace {

// Files in memory; Write fails for the names listed in broken.
class TMemoryFiles : public TLanguageFileSystem {
  public:
    bool Exists(const std::string& path) const override { return files.contains(path); }
    std::optional<std::string> ReadAll(const std::string& path) const override {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        return found->second;
    }
    bool Write(const std::string& path, std::string_view bytes, bool append) override {
        if (broken.contains(path)) return false;
        std::string& file = files[path];
        if (!append) file.clear();
        file.append(bytes);
        return true;
    }

    std::map<std::string, std::string> files;
    std::set<std::string> broken;
};

const std::string kHeader = "[Languages]\r\n$EN = #1\r\n$DE = #2 (Default)\r\nDefault = DE\r\n\r\n";

TEST(OutputFileName, NewModeTakesTheFirstFreeNumberOtherModesTheFixedName) {
    const std::set<std::string> taken = {"a.lng.new", "a.lng.1.new", "a.lng.unused"};
    auto exists = [&](const std::string& name) { return taken.contains(name); };
    EXPECT_EQ(output_file_name("a.lng", TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew, exists),
              "a.lng.2.new");
    EXPECT_EQ(output_file_name("a.lng", TLngCollectMode::cmSaveUnused, TLngFileMode::fmNew, exists),
              "a.lng.1.unused");
    EXPECT_EQ(
        output_file_name("b.lng", TLngCollectMode::cmSaveUntrObj, TLngFileMode::fmNew, exists),
        "b.lng.new");
    EXPECT_EQ(
        output_file_name("a.lng", TLngCollectMode::cmSaveUntr, TLngFileMode::fmRewrite, exists),
        "a.lng.new");
    EXPECT_EQ(
        output_file_name("a.lng", TLngCollectMode::cmSaveUnused, TLngFileMode::fmAppend, exists),
        "a.lng.unused");
    // A file system that claims every name exists does not keep the numbering going forever.
    EXPECT_EQ(output_file_name("a.lng", TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew,
                               [](const std::string&) { return true; }),
              "");
}

TEST(PendingFile, ANewFileHasTheHeaderThenSortedEntriesAndAClosingEmptyLine) {
    TMemoryFiles files;
    EXPECT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew,
                                   "EN", "DE",
                                   {"Save", "", "Cancel", "Line 1%0D%0ALine 2", "apply"}));
    EXPECT_EQ(files.files.at("x.lng.new"), kHeader + "EN:>Cancel\r\nDE:>\r\n\r\n"
                                                     "EN:>Line 1%0D%0ALine 2\r\nDE:>\r\n\r\n"
                                                     "EN:>Save\r\nDE:>\r\n\r\n"
                                                     "EN:>apply\r\nDE:>\r\n\r\n"
                                                     "\r\n");
    // The written template reads back as blocks that yield nothing until translated.
    EXPECT_TRUE(parse_language_file(files.files.at("x.lng.new"), "EN", "DE").Entries.empty());
}

TEST(PendingFile, AnEmptyStringAloneStillWritesTheFileButNoEntry) {
    TMemoryFiles files;
    EXPECT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUnused,
                                   TLngFileMode::fmNew, "EN", "DE", {""}));
    EXPECT_EQ(files.files.at("x.lng.unused"), kHeader + "\r\n");
}

TEST(PendingFile, NothingIsWrittenWithoutCollectedStringsOrCollectionMode) {
    TMemoryFiles files;
    EXPECT_FALSE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                    TLngFileMode::fmNew, "EN", "DE", {}));
    EXPECT_FALSE(write_pending_file(files, "x.lng", TLngCollectMode::cmNone, TLngFileMode::fmNew,
                                    "EN", "DE", {"Save"}));
    EXPECT_TRUE(files.files.empty());
}

TEST(PendingFile, ExistingFilesAreNumberedPastAppendedToOrEmptiedWithoutHeader) {
    TMemoryFiles files;
    files.files["x.lng.new"] = "old\r\n";
    ASSERT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew,
                                   "EN", "DE", {"A"}));
    EXPECT_EQ(files.files.at("x.lng.new"), "old\r\n");
    EXPECT_EQ(files.files.at("x.lng.1.new"), kHeader + "EN:>A\r\nDE:>\r\n\r\n\r\n");

    ASSERT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                   TLngFileMode::fmAppend, "EN", "DE", {"B"}));
    EXPECT_EQ(files.files.at("x.lng.new"), "old\r\nEN:>B\r\nDE:>\r\n\r\n\r\n");

    ASSERT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                   TLngFileMode::fmRewrite, "EN", "DE", {"C"}));
    EXPECT_EQ(files.files.at("x.lng.new"), "EN:>C\r\nDE:>\r\n\r\n\r\n");

    ASSERT_TRUE(write_pending_file(files, "y.lng", TLngCollectMode::cmSaveUntr,
                                   TLngFileMode::fmAppend, "EN", "DE", {"D"}));
    EXPECT_EQ(files.files.at("y.lng.new"), kHeader + "EN:>D\r\nDE:>\r\n\r\n\r\n");
}

TEST(PendingFile, AFailedWriteIsReportedAsFalse) {
    TMemoryFiles files;
    files.broken.insert("x.lng.new");
    EXPECT_FALSE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                    TLngFileMode::fmNew, "EN", "DE", {"A"}));
}

TEST(PendingFile, SortsWithTheGivenComparison) {
    TMemoryFiles files;
    const TTextLess descending = [](std::string_view a, std::string_view b) { return a > b; };
    ASSERT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                   TLngFileMode::fmRewrite, "EN", "DE", {"a", "c", "b"},
                                   descending));
    EXPECT_EQ(files.files.at("x.lng.new"),
              kHeader + "EN:>c\r\nDE:>\r\n\r\nEN:>b\r\nDE:>\r\n\r\nEN:>a\r\nDE:>\r\n\r\n\r\n");
}

TEST(PendingFile, SortsWithTheCaseSensitiveComparisonOfTheTextPlatformByDefault) {
    test::TFakeTextPlatform reversed;
    bool asked_ignoring_case = false;
    reversed.compare = [&](std::string_view a, std::string_view b, bool case_sensitive) {
        asked_ignoring_case |= !case_sensitive;
        return b.compare(a);
    };
    const test::TInstalledTextPlatform installed(reversed);
    TMemoryFiles files;
    ASSERT_TRUE(write_pending_file(files, "x.lng", TLngCollectMode::cmSaveUntr,
                                   TLngFileMode::fmRewrite, "EN", "DE", {"b", "C", "a"}));
    EXPECT_EQ(files.files.at("x.lng.new"),
              kHeader + "EN:>b\r\nDE:>\r\n\r\nEN:>a\r\nDE:>\r\n\r\nEN:>C\r\nDE:>\r\n\r\n\r\n");
    EXPECT_FALSE(asked_ignoring_case);
}

TEST(OriginPath, ListsTheOwnerChainOutermostFirst) {
    const std::vector<TOriginLink> chain = {{"TfrmOption", "frmOption"}, {"TTntLabel", "Label1"}};
    const std::string path = format_origin_path(chain, "Caption");
    EXPECT_EQ(path, "[TfrmOption]frmOption -> [TTntLabel]Label1.Caption");
    EXPECT_EQ(format_origin_entry(path, "Timeout, ms"),
              "[TfrmOption]frmOption -> [TTntLabel]Label1.Caption=Timeout, ms");
    EXPECT_EQ(format_origin_entry(format_item_origin_path("TListColumn", "Caption"), "Name"),
              "TListColumn.Caption=Name");
    EXPECT_EQ(format_origin_entry("", "Name"), "Name");
}

class LanguageFilesOnDisk : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  (std::string("kvr_translation_") + info->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string read_bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path folder_;
};

TEST_F(LanguageFilesOnDisk, LoadsTheFileAndReadsItsDefaultLanguage) {
    TLanguageFileSystem& files = standard_file_system();
    const std::string lng = path("plugin.lng");
    ASSERT_TRUE(files.Write(lng,
                            std::string("Encoding=utf-8\r\n[Languages]\r\n$DE = Deutsch\r\n"
                                        "Default = DE\r\n\r\nEN:>Save\r\nDE:>Speichern\r\n\r\n"),
                            false));
    const auto parsed = load_language_file(files, lng, "EN", "DE");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->Settings.Utf8);
    ASSERT_EQ(parsed->Entries.size(), 1u);
    EXPECT_EQ(parsed->Entries[0].Translation, "Speichern");
    EXPECT_EQ(read_default_language(files, lng), "DE");

    EXPECT_FALSE(load_language_file(files, path("missing.lng"), "EN", "DE").has_value());
    EXPECT_EQ(read_default_language(files, path("missing.lng")), "");
}

TEST_F(LanguageFilesOnDisk, NewModeNeverTouchesAnExistingOutputFile) {
    TLanguageFileSystem& files = standard_file_system();
    const std::string lng = path("plugin.lng");
    ASSERT_TRUE(write_pending_file(files, lng, TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew,
                                   "EN", "DE", {"One"}));
    ASSERT_TRUE(write_pending_file(files, lng, TLngCollectMode::cmSaveUntr, TLngFileMode::fmNew,
                                   "EN", "DE", {"Two"}));
    EXPECT_EQ(read_bytes(lng + ".new"), kHeader + "EN:>One\r\nDE:>\r\n\r\n\r\n");
    EXPECT_EQ(read_bytes(lng + ".1.new"), kHeader + "EN:>Two\r\nDE:>\r\n\r\n\r\n");

    // A folder where the file should be cannot be written: the write gives up quietly.
    std::filesystem::create_directories(path("blocked.lng.new"));
    EXPECT_FALSE(write_pending_file(files, path("blocked.lng"), TLngCollectMode::cmSaveUntr,
                                    TLngFileMode::fmRewrite, "EN", "DE", {"x"}));
}

} // namespace
} // namespace kvr
