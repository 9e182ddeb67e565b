#include "settings/big_ini_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

using kvr::TBigIniFile;
using kvr::test::read_bytes;
using kvr::test::TempDir;
using kvr::test::write_bytes;

namespace {

// An engine over a file holding the given text; the folder lives as long as the fixture.
class BigIniFile : public ::testing::Test {
  protected:
    std::string file_with(std::string_view text) {
        const std::string path = dir_.file("settings.ini");
        write_bytes(path, text);
        return path;
    }
    TempDir dir_;
};

} // namespace

TEST_F(BigIniFile, LookupIgnoresCaseAndBlanksAroundTheEqualsSign) {
    TBigIniFile ini(file_with("[Common]\r\n  Left = 314 \r\nVar1=a=b\r\nflag\r\nEmpty=\r\n"));
    EXPECT_EQ("314", ini.ReadString("COMMON", "left", "d"));
    EXPECT_EQ("a=b", ini.ReadString("common", "VAR1", "d"));
    EXPECT_EQ("", ini.ReadString("Common", "flag", "d"));
    EXPECT_EQ("", ini.ReadString("Common", "Empty", "d"));
    EXPECT_EQ("d", ini.ReadString("Common", "Top", "d"));
    EXPECT_EQ("d", ini.ReadString("Other", "Left", "d"));
    EXPECT_EQ(314, ini.ReadInteger("Common", "Left", -1));
    EXPECT_FALSE(ini.Modified());
}

TEST_F(BigIniFile, FirstOfEqualSectionsWinsAndTheOthersVanishOnWrite) {
    const std::string path = file_with("[Main]\na=1\n[main]\na=2\nb=3\n");
    {
        TBigIniFile ini(path);
        EXPECT_EQ("1", ini.ReadString("MAIN", "a", ""));
        EXPECT_EQ("", ini.ReadString("main", "b", ""));
        EXPECT_FALSE(ini.Modified());
        ini.WriteString("Main", "c", "4");
    }
    EXPECT_EQ("[Main]\r\na=1\r\nc=4\r\n\r\n", read_bytes(path));
}

TEST_F(BigIniFile, RewritingAnEntryTakesTheWritersCaseAndDropsBlanks) {
    const std::string path = file_with("[S]\n; keep me\nkey = value\nother=1\n");
    {
        TBigIniFile ini(path);
        ini.WriteString("s", "KEY", "new text");
        EXPECT_TRUE(ini.Modified());
    }
    EXPECT_EQ("[S]\r\n; keep me\r\nKEY=new text\r\nother=1\r\n\r\n", read_bytes(path));
}

TEST_F(BigIniFile, WritingTheStoredLineAgainChangesNothing) {
    const std::string path = file_with("[S]\nkey=value\n[T]\n");
    {
        TBigIniFile ini(path);
        ini.WriteString("S", "key", "value");
        ini.WriteInteger("S", "key", 5);
        ini.WriteString("S", "key", "value");
        EXPECT_TRUE(ini.Modified()); // the line did change in between
    }
    const std::string rewritten = read_bytes(path);
    EXPECT_EQ("[S]\r\nkey=value\r\n\r\n", rewritten);
    write_bytes(path, "[S]\nkey=value\n"); // LF only: a rewrite would turn it into CR LF
    {
        TBigIniFile ini(path);
        ini.WriteString("S", "key", "value");
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_EQ("[S]\nkey=value\n", read_bytes(path));
}

TEST_F(BigIniFile, NumbersRoundTripAndUnparsableTextsGiveTheDefault) {
    TBigIniFile ini(
        file_with("[N]\nhex=0x1F\ndollar=$1F\nbad=12abc\nf1=1,5\nf2=1.5\nf3=abc\nf4=\n"));
    EXPECT_EQ(31, ini.ReadInteger("N", "hex", 0));
    EXPECT_EQ(31, ini.ReadInteger("N", "dollar", 0));
    EXPECT_EQ(-7, ini.ReadInteger("N", "bad", -7));
    EXPECT_EQ(-7, ini.ReadInteger("N", "missing", -7));
    EXPECT_EQ(1.5, ini.ReadFloat("N", "f1", 0));
    EXPECT_EQ(1.5, ini.ReadFloat("N", "f2", 0));
    EXPECT_EQ(2.5, ini.ReadFloat("N", "f3", 2.5));
    EXPECT_EQ(2.5, ini.ReadFloat("N", "f4", 2.5));
    ini.WriteInteger("N", "i", -2147483647 - 1);
    ini.WriteFloat("N", "f", 0.1);
    EXPECT_EQ("-2147483648", ini.ReadString("N", "i", ""));
    EXPECT_EQ(-2147483647 - 1, ini.ReadInteger("N", "i", 0));
    EXPECT_EQ("0.1", ini.ReadString("N", "f", ""));
}

TEST_F(BigIniFile, PlatformSeparatorAndNameComparisonAreUsed) {
    kvr::ini::IniPlatform platform;
    platform.decimal_separator = ',';
    platform.same_entry_name = [](std::string_view a, std::string_view b) { return a == b; };
    TBigIniFile ini(file_with("[S]\nTimeout=1.5\nName=x\n"), platform);
    EXPECT_EQ(1.5, ini.ReadFloat("S", "Timeout", 0));
    EXPECT_EQ("d", ini.ReadString("S", "name", "d")); // this platform compares with case
    EXPECT_EQ("x", ini.ReadString("s", "Name", "d")); // sections always ignore ASCII case
    ini.WriteFloat("S", "Timeout", 2.25);
    EXPECT_EQ("2,25", ini.ReadString("S", "Timeout", ""));
    EXPECT_EQ(2.25, ini.ReadFloat("S", "Timeout", 0));
}

TEST_F(BigIniFile, FindEntryCreatesOnlyWhenAskedAndRemembersEachEntrysLine) {
    TBigIniFile ini(file_with("[A]\nx=1\n[B]\ny=2\nx=3\n"));
    auto found = ini.FindEntry("b", "X", false);
    ASSERT_NE(nullptr, found.Values);
    EXPECT_EQ(1, found.Index);
    EXPECT_EQ(nullptr, ini.FindEntry("C", "x", false).Values);
    EXPECT_EQ(2, ini.Sections().Count());
    found = ini.FindEntry("C", "x", true);
    ASSERT_NE(nullptr, found.Values);
    EXPECT_EQ(-1, found.Index);
    EXPECT_EQ(3, ini.Sections().Count());
    EXPECT_EQ("C", ini.Sections().Names(2));
    EXPECT_FALSE(ini.Modified()); // an empty section is never written
}

// After a line before the remembered match is deleted, the remembered index must move with it;
// left in place it pointed at a later duplicate and answered with that one's value.
TEST_F(BigIniFile, LookupsStayRightAfterLinesMove) {
    TBigIniFile ini(file_with("[S]\na=1\nb=2\nb=4\nc=3\n"));
    EXPECT_EQ("2", ini.ReadString("S", "b", ""));
    kvr::TSectionValues* lines = ini.FindEntry("S", "b", false).Values;
    ASSERT_NE(nullptr, lines);
    lines->Delete(0);
    EXPECT_EQ("2", ini.ReadString("S", "b", ""));
    EXPECT_EQ("3", ini.ReadString("S", "c", ""));
    ini.DeleteKey("S", "b");
    EXPECT_EQ("4", ini.ReadString("S", "b", "")); // the later duplicate comes into view
    EXPECT_EQ("3", ini.ReadString("S", "c", ""));
    lines->Put(0, "C=5"); // a line before the remembered match takes its name
    EXPECT_EQ("5", ini.ReadString("S", "c", ""));
    EXPECT_EQ(2, lines->Count());
}

TEST_F(BigIniFile, DeleteKeyAndEraseSectionMarkTheFileModified) {
    const std::string path = file_with("[A]\nx=1\ny=2\n[B]\nz=3\n[C]\nw=4\n");
    {
        TBigIniFile ini(path);
        ini.DeleteKey("A", "missing");
        EXPECT_FALSE(ini.Modified());
        ini.DeleteKey("a", "X");
        EXPECT_TRUE(ini.Modified());
        ini.EraseSection("C");
        ini.EraseSection("b");
        EXPECT_EQ("missing", ini.ReadString("B", "z", "missing"));
        EXPECT_EQ("2", ini.ReadString("A", "y", ""));
    }
    EXPECT_EQ("[A]\r\ny=2\r\n\r\n", read_bytes(path));
}

TEST_F(BigIniFile, WriteWithEmptyNameErasesTheSectionOrUpdatesTheFile) {
    const std::string path = file_with("[A]\nx=1\n[B]\ny=2\n");
    TBigIniFile ini(path);
    ini.WriteString("A", "", "");
    EXPECT_EQ("none", ini.ReadString("A", "x", "none"));
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ("[A]\nx=1\n[B]\ny=2\n", read_bytes(path)); // nothing written before an update
    ini.WriteString("", "", "");
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ("[B]\r\ny=2\r\n\r\n", read_bytes(path));
}

TEST_F(BigIniFile, ReadSectionListsNamesAndValueExistsIgnoresAsciiCase) {
    TBigIniFile ini(file_with("[S]\n; note\nA=1\n = empty name\nb\n[T]\nq=1\n"));
    std::vector<std::string> names = {"kept"};
    ini.ReadSection("s", names);
    EXPECT_EQ((std::vector<std::string>{"kept", "; note", "A", "b"}), names);
    ini.ReadSection("missing", names);
    EXPECT_EQ(4u, names.size());
    EXPECT_TRUE(ini.ValueExists("S", "a"));
    EXPECT_TRUE(ini.ValueExists("S", "B"));
    EXPECT_FALSE(ini.ValueExists("S", ""));
    EXPECT_FALSE(ini.ValueExists("S", "q"));
    EXPECT_FALSE(ini.ValueExists("missing", "a"));
}

// A value with a line break used to be written as is and turned into new lines or sections.
TEST_F(BigIniFile, TextsThatWouldNotReadBackAreRefusedAndChangeNothing) {
    TBigIniFile ini(file_with("[S]\nk=1\n"));
    const std::pair<std::string, std::string> refused[] = {{"k", "1\r\n[Other]\r\nx=2"},
                                                           {"k", std::string("a\x1a") + "b"},
                                                           {"a\nb", "1"},
                                                           {"a=b", "1"},
                                                           {" k", "1"},
                                                           {"k\t", "1"},
                                                           {"[k", "v]"}};
    for (const auto& [name, value] : refused)
        EXPECT_THROW(ini.WriteString("S", name, value), kvr::EConvertError) << name << value;
    EXPECT_THROW(ini.WriteString("S\r\n[T]", "k", "1"), kvr::EConvertError);
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ(1, ini.Sections().Count());
    ini.WriteString("S", "[k", "v] ");
    ini.WriteString("S]", "k", "[v]");
    EXPECT_EQ("v]", ini.ReadString("S", "[k", ""));
    EXPECT_EQ("[v]", ini.ReadString("S]", "k", ""));
}

TEST_F(BigIniFile, AMissingFileReadsEmptyAndIsCreatedByTheFirstWrite) {
    const std::string path = dir_.file("new.ini");
    {
        TBigIniFile ini(path);
        EXPECT_EQ(0, ini.Sections().Count());
        EXPECT_EQ("d", ini.ReadString("S", "x", "d"));
        ini.DeleteKey("S", "x"); // makes an empty section, changes nothing
        EXPECT_FALSE(ini.Modified());
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    {
        TBigIniFile ini(path);
        ini.WriteString("S", "x", "1");
    }
    EXPECT_EQ("[S]\r\nx=1\r\n\r\n", read_bytes(path));
}

TEST_F(BigIniFile, AnEngineWithoutFileNameNeverWrites) {
    TBigIniFile ini("");
    ini.WriteString("S", "x", "1");
    EXPECT_EQ("1", ini.ReadString("S", "x", ""));
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ("", dir_.listing());
}

TEST_F(BigIniFile, LoadFromFileReplacesTheSections) {
    const std::string other = dir_.file("other.ini");
    write_bytes(other, "[O]\no=1\n");
    TBigIniFile ini(file_with("[S]\ns=1\n"));
    ini.WriteString("S", "t", "2");
    ini.LoadFromFile(other);
    EXPECT_FALSE(ini.Modified());
    EXPECT_EQ("", ini.ReadString("S", "s", ""));
    EXPECT_EQ("1", ini.ReadString("O", "o", ""));
    EXPECT_EQ(dir_.file("settings.ini"), ini.FileName());
}

// Sections are searched from the one found last; a search must still find every section.
TEST_F(BigIniFile, SectionSearchWrapsAroundFromTheSectionFoundLast) {
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "[S" + std::to_string(i) + "]\nv=" + std::to_string(i) + "\n";
    TBigIniFile ini(file_with(text));
    for (int i : {40, 3, 49, 0, 25, 24, 26, 40})
        EXPECT_EQ(i, ini.ReadInteger("s" + std::to_string(i), "v", -1));
    ini.EraseSection("S49");
    ini.EraseSection("S48");
    EXPECT_EQ(47, ini.ReadInteger("S47", "v", -1));
    EXPECT_EQ(-1, ini.ReadInteger("S48", "v", -1));
}
