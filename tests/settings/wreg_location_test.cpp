// Where the settings store keeps a value and how it encodes it: storage names, registry key
// paths, INI section names, the lock name of a file, and registry value encodings.

#include "component/prop_value_printer.h"
#include "settings/ini_file_lock.h"
#include "settings/ini_unread_bytes.h"
#include "settings/registry_access.h"
#include "settings/value_location.h"

#include <gtest/gtest.h>

using namespace kvr;

TEST(StorageName, SplitsIntoTrimmedSubKeysAndValueNameStoppingAtTheFirstEmptyPart) {
    EXPECT_EQ((ValueLocation{{}, "Var1"}), SplitStorageName("Var1"));
    EXPECT_EQ((ValueLocation{{"Sub"}, "Var1"}), SplitStorageName(" Sub \\\tVar1 "));
    EXPECT_EQ((ValueLocation{{"A", "B"}, "No reset"}), SplitStorageName("A\\B\\No reset"));
    EXPECT_EQ((ValueLocation{{}, "A"}), SplitStorageName("A\\\\B"));
    EXPECT_EQ((ValueLocation{{}, "A"}), SplitStorageName("A\\ \\B"));
    EXPECT_EQ((ValueLocation{{}, "A"}), SplitStorageName("A\\"));
    EXPECT_EQ(ValueLocation{}, SplitStorageName("\\Var1"));
    EXPECT_EQ(ValueLocation{}, SplitStorageName(""));
}

TEST(StorageName, TakesAtMost255Parts) {
    std::string name;
    for (int part = 1; part <= 300; ++part)
        name += (part > 1 ? "\\p" : "p") + std::to_string(part);
    const ValueLocation location = SplitStorageName(name);
    EXPECT_EQ(254u, location.sub_keys.size());
    EXPECT_EQ("p255", location.value_name);
}

TEST(RegistryKeyPath, StartsAtTheRootWhateverTheSlashesAroundRegistryPath) {
    EXPECT_EQ("Software\\Co\\App", RegistryKeyPath("\\Software\\Co\\App", {}));
    EXPECT_EQ("Software\\Co\\App", RegistryKeyPath("Software\\Co\\App\\", {}));
    EXPECT_EQ("Software\\Co\\App\\Sub\\Deeper",
              RegistryKeyPath("\\Software\\Co\\App\\", {"Sub", "Deeper"}));
    EXPECT_EQ("", RegistryKeyPath("", {}));
    EXPECT_EQ("", RegistryKeyPath("\\", {}));
    EXPECT_EQ("Sub", RegistryKeyPath("", {"Sub"}));
}

TEST(IniSectionName, FollowsPrefixAndSubKeys) {
    EXPECT_EQ("Common", IniSectionName("", {}));
    EXPECT_EQ("Filter1.Common", IniSectionName("Filter1", {}));
    EXPECT_EQ("A.B.Common", IniSectionName("A\\B", {}));
    EXPECT_EQ("A", IniSectionName("A/", {}));
    EXPECT_EQ("A.B", IniSectionName("A\\B/", {}));
    EXPECT_EQ("P.Sub", IniSectionName("P", {"Sub"}));
    EXPECT_EQ("P.Sub", IniSectionName("P/", {"Sub"}));
    EXPECT_EQ("Sub.Deeper", IniSectionName("", {"Sub", "Deeper"}));
    EXPECT_EQ("", IniSectionName("/", {}));
}

TEST(IniLockName, LowersAsciiLettersAndReplacesEverythingButLettersAndDigits) {
    EXPECT_EQ("c__data_my_settings_ini", IniLockName("C:\\Data\\My Settings.ini"));
    EXPECT_EQ("_tmp_a1_ini", IniLockName("/tmp/A1.ini"));
    EXPECT_EQ("caf__ini", IniLockName("Caf\xc9.ini"));
    EXPECT_EQ("", IniLockName(""));
}

TEST(RegistryEncoding, EachKindHasItsTypeAndRoundTrips) {
    const RegistryValue dword = *EncodeRegistryValue(tkInteger, PropValue(-2));
    EXPECT_EQ((RegistryValue{regDword, std::string("\xfe\xff\xff\xff", 4)}), dword);
    EXPECT_EQ(PropValue(-2), DecodeRegistryValue(tkInteger, dword));

    const RegistryValue binary = *EncodeRegistryValue(tkFloat, PropValue(1.5));
    EXPECT_EQ((RegistryValue{regBinary, std::string("\0\0\0\0\0\0\xf8\x3f", 8)}), binary);
    EXPECT_EQ(PropValue(1.5), DecodeRegistryValue(tkFloat, binary));

    for (TTypeKind kind :
         {tkChar, tkWChar, tkString, tkLString, tkWString, tkEnumeration, tkVariant, tkClass}) {
        const RegistryValue text = *EncodeRegistryValue(kind, PropValue("True"));
        EXPECT_EQ((RegistryValue{regSz, "True"}), text) << TypeKindName(kind);
        EXPECT_EQ(PropValue("True"), DecodeRegistryValue(kind, text)) << TypeKindName(kind);
    }
    for (TTypeKind kind :
         {tkUnknown, tkSet, tkMethod, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray}) {
        EXPECT_FALSE(EncodeRegistryValue(kind, PropValue(1))) << TypeKindName(kind);
        EXPECT_FALSE(DecodeRegistryValue(kind, RegistryValue{regDword, "\1\0\0\0"}))
            << TypeKindName(kind);
    }
    // An integer setting saved from text converts, or fails instead of storing garbage.
    EXPECT_EQ((RegistryValue{regDword, std::string("\x0c\0\0\0", 4)}),
              *EncodeRegistryValue(tkInteger, PropValue("12")));
    EXPECT_THROW(EncodeRegistryValue(tkInteger, PropValue("twelve")), EConvertError);
}

TEST(RegistryEncoding, ValuesOfTheWrongTypeOrSizeAreRejected) {
    const RegistryValue text{regSz, "1.5"};
    EXPECT_THROW(DecodeRegistryValue(tkInteger, text), EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkFloat, text), EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkInteger, RegistryValue{regBinary, "\1\0\0\0"}),
                 EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkInteger, RegistryValue{regDword, "\1\0"}), EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkFloat, RegistryValue{regBinary, "1234567"}), EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkFloat, RegistryValue{regBinary, "123456789"}),
                 EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkLString, RegistryValue{regDword, "\1\0\0\0"}),
                 EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkLString, RegistryValue{regBinary, "abc"}), EConvertError);
    EXPECT_THROW(DecodeRegistryValue(tkLString, RegistryValue{7, "a\0b\0"}), EConvertError);
}

TEST(RegistryEncoding, TextsAcceptExpandableStringsUnexpandedAndEndAtTheirFirstZero) {
    EXPECT_EQ(PropValue("%TEMP%\\x"),
              DecodeRegistryValue(tkString, RegistryValue{regExpandSz, "%TEMP%\\x"}));
    EXPECT_EQ(PropValue("abc"),
              DecodeRegistryValue(tkString, RegistryValue{regSz, std::string("abc\0def\0", 8)}));
    EXPECT_EQ(PropValue(""), DecodeRegistryValue(tkString, RegistryValue{regSz, ""}));
}

TEST(UnreadBytes, AreWhatComesBeforeTheFirstHeaderAndFromTheEndMarkOn) {
    using ini::FindUnreadBytes;
    using ini::UnreadBytes;
    EXPECT_EQ(UnreadBytes{}, FindUnreadBytes("[Common]\r\na=1\r\n"));
    EXPECT_EQ(UnreadBytes{}, FindUnreadBytes(""));
    EXPECT_EQ((UnreadBytes{"; made by hand\r\n\r\n", ""}),
              FindUnreadBytes("; made by hand\r\n\r\n[Common]\r\na=1\r\n"));
    EXPECT_EQ((UnreadBytes{"\xef\xbb\xbf[First]\r\na=1\r\n", ""}),
              FindUnreadBytes("\xef\xbb\xbf[First]\r\na=1\r\n[Second]\r\nb=2\r\n"));
    // A CR anywhere in a line is dropped, so "[A\r]" is a header; lines ending in CR alone
    // never end, so such a file is one long line that is no header.
    EXPECT_EQ(UnreadBytes{}, FindUnreadBytes("[A\r]\r\nx=1"));
    EXPECT_EQ((UnreadBytes{"[A]\rx=1\r[B]\ry=2\r", ""}), FindUnreadBytes("[A]\rx=1\r[B]\ry=2\r"));
    EXPECT_EQ((UnreadBytes{"", "\x1a[Late]\r\nz=3\r\n"}),
              FindUnreadBytes("[A]\r\nx=1\r\n\x1a[Late]\r\nz=3\r\n"));
    EXPECT_EQ((UnreadBytes{"junk", "\x1a[A]\r\n"}), FindUnreadBytes("junk\x1a[A]\r\n"));
    EXPECT_EQ((UnreadBytes{" [A]\n", ""}), FindUnreadBytes(" [A]\n[B]"));
}
