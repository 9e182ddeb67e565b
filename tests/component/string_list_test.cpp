// The string list: its text, lookups, sorting and change notification.

#include "component/string_list.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {
std::vector<std::string> lines_of(const TStringList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}
} // namespace

TEST(StringList, TextSplitsAtEveryKindOfLineEnd) {
    TStringList list;
    list.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(std::vector<std::string>({"a", "b", "c", "d"}), lines_of(list));
    list.SetText("a\n\rb\r\n");
    EXPECT_EQ(std::vector<std::string>({"a", "", "b"}), lines_of(list));
    list.SetText("\r\n\r\n");
    EXPECT_EQ(std::vector<std::string>({"", ""}), lines_of(list));
    list.SetText("");
    EXPECT_EQ(0, list.Count());
    list.SetText(std::string("nul\0inside", 10));
    EXPECT_EQ(std::string("nul\0inside", 10), list.Get(0));
}

TEST(StringList, TextEndsEveryLineWithCrLf) {
    TStringList list;
    EXPECT_EQ("", list.Text());
    list.Add("one");
    list.Add("");
    EXPECT_EQ("one\r\n\r\n", list.Text());
    TStringList copy;
    copy.SetText(list.Text());
    EXPECT_EQ(lines_of(list), lines_of(copy));
}

TEST(StringList, IndexOfIgnoresAnsiCaseUnlessAskedNotTo) {
    TStringList list;
    list.Add("Temp");
    list.Add("\xc4rger"); // upper-case A with diaeresis
    EXPECT_EQ(0, list.IndexOf("TEMP"));
    EXPECT_EQ(1, list.IndexOf("\xe4RGER"));
    EXPECT_EQ(-1, list.IndexOf("Tem"));
    list.SetCaseSensitive(true);
    EXPECT_EQ(-1, list.IndexOf("TEMP"));
    EXPECT_EQ(0, list.IndexOf("Temp"));
}

TEST(StringList, ObjectsTravelWithTheirLines) {
    TStringList list, first, second;
    list.Add("zeta", &first);
    list.Add("Alpha", &second);
    list.Insert(1, "beta");
    list.Sort();
    EXPECT_EQ(std::vector<std::string>({"Alpha", "beta", "zeta"}), lines_of(list));
    EXPECT_EQ(&second, list.GetObject(0));
    EXPECT_EQ(nullptr, list.GetObject(1));
    EXPECT_EQ(2, list.IndexOfObject(&first));
    list.Delete(0);
    EXPECT_EQ(-1, list.IndexOfObject(&second));
    TStringList copy(list);
    EXPECT_EQ(&first, copy.GetObject(1));
}

TEST(StringList, IndexesOutsideTheListAreRefused) {
    TStringList list;
    list.Add("only");
    EXPECT_THROW(list.Get(1), EStringListError);
    EXPECT_THROW(list.Put(-1, "x"), EStringListError);
    EXPECT_THROW(list.Delete(1), EStringListError);
    EXPECT_THROW(list.Insert(2, "x"), EStringListError);
    list.Insert(1, "appended");
    EXPECT_EQ("appended", list.Get(1));
}

TEST(StringList, ChangeFiresOncePerOutermostUpdateAndOnlyWhenSomethingChanged) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](TStringList& sender) {
        EXPECT_EQ(&list, &sender);
        ++changes;
    };
    list.Add("a");
    EXPECT_EQ(1, changes);
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Put(0, "c");
    list.EndUpdate();
    EXPECT_EQ(1, changes);
    list.EndUpdate();
    EXPECT_EQ(2, changes);
    list.BeginUpdate();
    list.EndUpdate();
    list.Clear();
    list.Clear(); // already empty
    EXPECT_EQ(3, changes);
}
