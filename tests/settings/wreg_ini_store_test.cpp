// The settings store with INI files: what a save writes, what a load reads, and what happens
// to files the store did not write itself.

#include "registry_fake.h"
#include "temp_dir.h"
#include "wreg_fixtures.h"
#include "wreg_test_support.h"

#include "settings/big_ini_file.h"
#include "settings/ini_file_lock.h"
#include "settings/map_lines.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace kvr;
using namespace kvr::testing;
using kvr::test::read_bytes;
using kvr::test::TempDir;
using kvr::test::write_bytes;

namespace {

const std::string kSavedForm = "[Common]\r\n"
                               "Left=-20\r\n"
                               "Top=40\r\n"
                               "Height=500\r\n"
                               "Width=640\r\n"
                               "Var1=++speed 50%%%2B\r\n"
                               "Var2=line%0D%0Abreak\r\n"
                               "Timeout=1.5\r\n"
                               "No reset=True\r\n"
                               "Var1 index=2\r\n"
                               "\r\n";

class IniStore : public ::testing::Test {
  protected:
    IniStore() {
        RegisterStandardHandlersOnce();
        wreg.INIFile = path;
        wreg.Components = StoreMap();
        wreg.SetPlatform(TestPlatform(registry, files));
    }

    void expect_distinct_values(const TStoreSettings& settings) {
        EXPECT_EQ(-20, settings.left_);
        EXPECT_EQ(40, settings.top_);
        EXPECT_EQ(500, settings.height_);
        EXPECT_EQ(640, settings.width_);
        EXPECT_EQ("  speed 50%+", settings.var1_text_);
        EXPECT_EQ("line\r\nbreak", settings.var2_text_);
        EXPECT_EQ(1.5, settings.timeout_);
        EXPECT_TRUE(settings.no_reset_);
    }

    TempDir dir;
    std::string path = dir.file("settings.ini");
    std::shared_ptr<FakeRegistry> registry = std::make_shared<FakeRegistry>();
    std::shared_ptr<ScriptedFileAccess> files = std::make_shared<ScriptedFileAccess>();
    TWreg wreg;
};

} // namespace

TEST_F(IniStore, FormSavesEveryValueInItsEncodingAndTheSettingsObjectLoadsThem) {
    TStoreForm form;
    FillDistinctValues(form);
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ(kSavedForm, read_bytes(path));
    EXPECT_EQ(nullptr, wreg.Root());

    TStoreSettings settings;
    EXPECT_TRUE(wreg.Load(&settings));
    expect_distinct_values(settings);
    EXPECT_TRUE(registry->opened.empty()) << "an INI operation never touches the registry";
}

TEST_F(IniStore, NumbersThatDoNotConvertLoadAsZeroAndEitherDecimalPointIsRead) {
    for (const char separator : {'.', ','}) {
        wreg.SetPlatform(TestPlatform(registry, files, separator));
        write_bytes(path, "[Common]\r\nTimeout=abc\r\nLeft=0x1F\r\nTop=12abc\r\nHeight=$10\r\n");
        TStoreSettings settings;
        settings.timeout_ = 9.0;
        EXPECT_TRUE(wreg.Load(&settings));
        EXPECT_EQ(0.0, settings.timeout_);
        EXPECT_EQ(31, settings.left_);
        EXPECT_EQ(0, settings.top_);
        EXPECT_EQ(16, settings.height_);
        for (const char* timeout : {"1,5", "1.5"}) {
            write_bytes(path, std::string("[Common]\r\nTimeout=") + timeout + "\r\n");
            EXPECT_TRUE(wreg.Load(&settings));
            EXPECT_EQ(1.5, settings.timeout_) << timeout << " with separator " << separator;
        }
    }
    wreg.SetPlatform(TestPlatform(registry, files, ','));
    TStoreSettings settings;
    settings.timeout_ = 2.25;
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_NE(std::string::npos, read_bytes(path).find("Timeout=2,25\r\n"));
}

TEST_F(IniStore, ValueThatDoesNotFitItsPropertyLeavesPropertyAndEntryAlone) {
    wreg.Components.Add("spTimeout.Small,Small");
    wreg.Components.Add("spTimeout.Fragile,Fragile");
    const std::string text = "[Common]\r\nNo reset=yes\r\nSmall=1E300\r\nFragile=x\r\nWidth=7\r\n";
    write_bytes(path, text);
    TStoreForm form;
    form.chkNoReset().checked_ = true;
    form.spTimeout().small_ = 3.0f;
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_TRUE(form.chkNoReset().checked_);
    EXPECT_EQ(3.0f, form.spTimeout().small_);
    EXPECT_EQ(7, form.width_) << "the lines after the failing ones are still loaded";
    EXPECT_EQ(text, read_bytes(path));
    EXPECT_EQ(0, files->writes);
}

TEST_F(IniStore, EmptyTextIsSavedAsAnEmptyEntryNotRemoved) {
    write_bytes(path, "[Common]\r\nVar1=old\r\n");
    TStoreForm form;
    form.var1().text_.clear();
    EXPECT_TRUE(wreg.Save(&form));
    const TBigIniFile ini(path);
    EXPECT_TRUE(ini.ValueExists("Common", "Var1"));
    EXPECT_EQ("", ini.ReadString("Common", "Var1", "missing"));
}

TEST_F(IniStore, ShortMapSavesOnlyTheGeometryAndLeavesTheOtherValues) {
    write_bytes(path, kSavedForm);
    TStoreForm form; // designed values everywhere
    wreg.Components = ShortMap(StoreMap());
    EXPECT_TRUE(wreg.Save(&form));
    const TBigIniFile ini(path);
    EXPECT_EQ(314, ini.ReadInteger("Common", "Left", 0));
    EXPECT_EQ(389, ini.ReadInteger("Common", "Width", 0));
    EXPECT_EQ("++speed 50%%%2B", ini.ReadString("Common", "Var1", ""));
    EXPECT_EQ("True", ini.ReadString("Common", "No reset", ""));
    EXPECT_EQ("2", ini.ReadString("Common", "Var1 index", ""));
}

TEST_F(IniStore, MissingFileLoadsFromTheRegistryAndSaveCreatesTheFile) {
    wreg.RegistryPath = "\\Software\\kvr\\Tests";
    registry->Put(rrHKEY_LOCAL_MACHINE, "Software\\kvr\\Tests", "Left",
                  RegistryValue{regDword, std::string("\x4d\0\0\0", 4)});
    TStoreSettings settings;
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(77, settings.left_);
    EXPECT_FALSE(std::filesystem::exists(path));

    settings.left_ = 78;
    wreg.INIFileSectionPrefix = "P";
    wreg.Components.Add("Top,Sub\\Var1");
    EXPECT_TRUE(wreg.Save(&settings));
    const TBigIniFile ini(path);
    EXPECT_EQ(78, ini.ReadInteger("P.Common", "Left", 0));
    EXPECT_EQ(184, ini.ReadInteger("P.Sub", "Var1", 0));
    EXPECT_EQ((RegistryValue{regDword, std::string("\x4d\0\0\0", 4)}),
              registry->Value(rrHKEY_LOCAL_MACHINE, "Software\\kvr\\Tests", "Left"));
}

namespace {

// A custom store that remembers what it was asked and answers one value.
class RecordingWreg : public TWreg {
  public:
    std::vector<std::string> calls;

  protected:
    bool ReadCustomValue(const std::string& Name, PropValue& Value, const std::string& ValueName,
                         const std::string& Section, TTypeKind ItemType, int Index) override {
        calls.push_back("read " + Name + " " + ValueName + " " + Section + " " +
                        std::string(TypeKindName(ItemType)) + " " + std::to_string(Index));
        if (ValueName != "Timeout") return false;
        Value = PropValue(2.5);
        return true;
    }
    void WriteCustomValue(const std::string& Name, const PropValue& Value,
                          const std::string& ValueName, const std::string& Section,
                          TTypeKind ItemType, int Index) override {
        calls.push_back("write " + Name + " " + Value.to_text() + " " + ValueName + " " + Section +
                        " " + std::string(TypeKindName(ItemType)) + " " + std::to_string(Index));
    }
};

} // namespace

TEST_F(IniStore, CustomStoreTouchesNeitherFileNorRegistry) {
    wreg.INIFile = "$CUSTOM$";
    TStoreSettings settings;
    FillDistinctValues(settings);
    EXPECT_TRUE(wreg.Load(&settings));
    expect_distinct_values(settings);
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_TRUE(registry->opened.empty());
    EXPECT_EQ("", dir.listing());

    RecordingWreg custom;
    custom.INIFile = "$CUSTOM$";
    custom.INIFileSectionPrefix = "F1";
    custom.Components.Add("Left,Left");
    custom.Components.Add("spTimeout.Value,Sub\\Timeout");
    EXPECT_TRUE(custom.Load(&settings));
    EXPECT_EQ(2.5, settings.timeout_);
    EXPECT_TRUE(custom.Save(&settings));
    EXPECT_EQ((std::vector<std::string>{
                  "read Left Left F1.Common tkInteger 0",
                  "read spTimeout_Value Timeout F1.Sub tkFloat 1",
                  "write Left -20 Left F1.Common tkInteger 0",
                  "write spTimeout_Value 2.5 Timeout F1.Sub tkFloat 1",
              }),
              custom.calls);
}

TEST_F(IniStore, UnchangedValuesDoNotRewriteTheFile) {
    TStoreForm form;
    FillDistinctValues(form);
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ(1, files->writes);
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_EQ(1, files->writes);
    EXPECT_EQ(2, files->reads) << "the first save found no file to read";
}

TEST_F(IniStore, UnreadableFileFailsTheOperationAfterTheLockIsReleased) {
    write_bytes(path, kSavedForm);
    files->fail_reads = true;
    TStoreSettings settings;
    EXPECT_THROW(wreg.Load(&settings), EFOpenError);
    EXPECT_THROW(wreg.Save(&settings), EFOpenError);
    EXPECT_EQ(nullptr, wreg.Root());
    EXPECT_EQ(kSavedForm, read_bytes(path));

    auto other_thread = std::async(std::launch::async, [&] { const IniFileLock lock(path); });
    ASSERT_EQ(std::future_status::ready, other_thread.wait_for(std::chrono::seconds(30)))
        << "the file lock is still held";
}

TEST_F(IniStore, FileThatCannotBeWrittenBackMakesSaveFailAndKeepsItsContents) {
    write_bytes(path, kSavedForm);
    files->fail_writes = true;
    TStoreSettings settings;
    EXPECT_FALSE(wreg.Save(&settings));
    EXPECT_EQ(kSavedForm, read_bytes(path));
    EXPECT_TRUE(wreg.Load(&settings)) << "loading writes nothing";
    expect_distinct_values(settings);
}

TEST_F(IniStore, LinesThatLeadNowhereChangeNothing) {
    const std::string text = "[Common]\r\nGhost=keep\r\nNothing=keep\r\nOrphan=keep\r\n";
    write_bytes(path, text);
    for (const char* line : {"ghost.Text,Ghost", "var1.Nothing,Nothing", ",Orphan", "Left",
                             "Top,\\Top", "var1.Text.Deeper,Deeper"})
        wreg.Components.Add(line);
    TStoreForm form;
    EXPECT_TRUE(wreg.Save(&form));
    const TBigIniFile ini(path);
    for (const char* name : {"Ghost", "Nothing", "Orphan"})
        EXPECT_EQ("keep", ini.ReadString("Common", name, "")) << name;
    EXPECT_FALSE(ini.ValueExists("Common", "Deeper"));
    EXPECT_EQ(314, ini.ReadInteger("Common", "Left", 0));
}

TEST_F(IniStore, LineWithoutStorageNameNeverErasesItsSection) {
    // An entry without a name stands for its whole section in the INI engine: saving the
    // line "Left" once wiped every value stored beside it.
    write_bytes(path, kSavedForm);
    wreg.Components.Clear();
    wreg.Components.Add("Left");
    wreg.Components.Add("Top,");
    TStoreForm form;
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ(kSavedForm, read_bytes(path));
}

TEST_F(IniStore, BeforeProcessItemVetoesTypesAndMakesLinesVirtual) {
    std::vector<std::string> seen;
    wreg.Components.Add("vSpeed,Speed");
    wreg.BeforeProcessItem = [&](TWreg& sender, const std::string& name, int index, bool& require,
                                 bool& is_virtual, TTypeKind& kind) {
        EXPECT_EQ(&wreg, &sender);
        seen.push_back(name + "@" + std::to_string(index) + (is_virtual ? " virtual" : ""));
        if (name == "Top") require = false;
        if (name == "Left") kind = tkLString;
        if (name == "vSpeed") {
            is_virtual = true;
            kind = tkLString;
        }
    };
    std::string loaded = "(none)";
    wreg.GetValue = [](TWreg&, const std::string& name, int index, PropValue& value) {
        if (name == "vSpeed" && index == 11) value = PropValue(" a b%");
    };
    wreg.SetValue = [&](TWreg&, const std::string& name, int, const PropValue& value) {
        if (name == "vSpeed") loaded = value.to_text();
    };
    TStoreSettings settings;
    EXPECT_TRUE(wreg.Save(&settings));
    const std::string text = read_bytes(path);
    EXPECT_EQ(std::string::npos, text.find("Top=")) << text;
    EXPECT_NE(std::string::npos, text.find("Left=314\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Speed=+a b%%\r\n")) << text;
    EXPECT_EQ("Left@1", seen.at(0));
    EXPECT_EQ("vSpeed@11", seen.back()) << "the settings object resolves every path to itself";

    settings.left_ = 0;
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(" a b%", loaded);
    EXPECT_EQ(314, settings.left_) << "a number stored as text converts back";
}

namespace {

struct BadFile {
    const char* name;
    std::string text;
    int loaded_left;                // Left as a load finds it (314: not found)
    std::string prologue;           // bytes a save must keep at the start of the file
    std::vector<std::string> lines; // bytes a save must keep somewhere
    std::string epilogue;           // bytes a save must keep at the end of the file
};

std::vector<BadFile> bad_files() {
    using namespace std::string_literals;
    const std::string megabyte(0x100000 + 7, 'x');
    const std::string junk = "\0\xff junk=\x01\r\n"s;
    return {
        {"byte-order mark",
         "\xef\xbb\xbf[Common]\r\nLeft=1\r\n[Other]\r\nx=1\r\n",
         314,
         "\xef\xbb\xbf[Common]\r\nLeft=1\r\n[Other]\r\nx=1\r\n",
         {},
         ""},
        {"binary junk",
         "[Common]\r\nLeft=5\r\n" + junk + "\xfe\r\n",
         5,
         "[Common]\r\n",
         {junk + "\xfe\r\n"},
         ""},
        {"no line ends", "[Common]\rLeft=5\rTop=6", 314, "[Common]\rLeft=5\rTop=6\r\n", {}, ""},
        {"megabyte line",
         "[Common]\r\nLong=" + megabyte + "\r\nLeft=5\r\n",
         5,
         "[Common]\r\n",
         {"\r\nLong=" + megabyte + "\r\n"},
         ""},
        {"end-of-text mark",
         "[Common]\r\nLeft=5\r\n\x1a[Common]\r\nLeft=6\r\n",
         5,
         "",
         {},
         "\x1a[Common]\r\nLeft=6\r\n"},
        {"text before the first section",
         "; hand-made\r\nLeft=9\r\n[Common]\r\nLeft=5",
         5,
         "; hand-made\r\nLeft=9\r\n[Common]\r\n",
         {},
         ""},
    };
}

bool starts_with(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}
bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TEST_F(IniStore, FilesWithBadContentLoseNothingWhenSaved) {
    for (const BadFile& bad : bad_files()) {
        SCOPED_TRACE(bad.name);
        write_bytes(path, bad.text);
        TStoreSettings settings;
        EXPECT_TRUE(wreg.Load(&settings));
        EXPECT_EQ(bad.loaded_left, settings.left_);

        FillDistinctValues(settings);
        EXPECT_TRUE(wreg.Save(&settings));
        const std::string saved = read_bytes(path);
        EXPECT_TRUE(starts_with(saved, bad.prologue)) << saved.substr(0, 80);
        for (const std::string& line : bad.lines)
            EXPECT_NE(std::string::npos, saved.find(line));
        EXPECT_TRUE(ends_with(saved, bad.epilogue)) << saved.substr(saved.size() - 40);

        TStoreSettings reloaded;
        EXPECT_TRUE(wreg.Load(&reloaded));
        expect_distinct_values(reloaded);
        EXPECT_TRUE(wreg.Save(&reloaded));
        EXPECT_EQ(saved, read_bytes(path)) << "a second save finds everything in place";
    }
}
