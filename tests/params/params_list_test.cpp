#include "params/params_list.h"

#include "common/errors.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {
ParamsListPtr list_of(std::initializer_list<const char*> names) {
    auto list = make_params_list();
    int n = 0;
    for (const char* name : names)
        list->AddValue(name, Variant::integer(n++));
    return list;
}
std::string name_at(const TkvrParamsList& list, int index) {
    return std::string(list.GetItem(index)->GetName());
}
} // namespace

TEST(ParamList, NewListCarriesTagAndGuid) {
    auto list = make_params_list();
    EXPECT_EQ(KVR_PARAMS_MAGIC, list->Magic);
    const std::string id(list->GetListId());
    ASSERT_EQ(38u, id.size());
    EXPECT_EQ('{', id.front());
    EXPECT_EQ('}', id.back());
    for (size_t i : {9u, 14u, 19u, 24u})
        EXPECT_EQ('-', id[i]);
    EXPECT_EQ(std::string::npos, id.find_first_not_of("{}-0123456789ABCDEF"));
    EXPECT_NE(id, std::string(make_params_list()->GetListId()));
    EXPECT_FALSE(list->IsRowsList());
    EXPECT_TRUE(make_params_list(true)->IsRowsList());
}

TEST(ParamList, IndexOfNameRangesAndRowEnds) {
    auto list = list_of({"a", "b", KVR_ROW_SEPARATOR, "d"});
    EXPECT_EQ(-1, list->IndexOfName("d", 0, -2));
    EXPECT_EQ(3, list->IndexOfName("d", 3, -2));
    EXPECT_EQ(3, list->IndexOfName("d", 0, -1));
    EXPECT_EQ(2, list->IndexOfName("$new_row$", 0, -2));
    EXPECT_EQ(-1, list->IndexOfName("a", 3, 1));
    EXPECT_EQ(3, list->IndexOfName("d", -5, 1000));
}

TEST(ParamList, LookupFoldsOnlyAsciiOnTheQuerySide) {
    auto list = list_of({"Temp", "\xC4pfel"}); // an accented capital in the ANSI code page
    for (const char* query : {"TEMP", "temp", "tEmP"})
        EXPECT_EQ(0, list->IndexOfName(query)) << query;
    EXPECT_EQ(1, list->IndexOfName("\xE4pfel"));
    EXPECT_EQ(-1, list->IndexOfName("\xC4pfel"));
}

TEST(ParamList, BlankNamesAreRefusedButBlanksAroundANameStay) {
    auto list = make_params_list();
    EXPECT_EQ(nullptr, list->AddValue("   ", Variant::integer(1)));
    EXPECT_EQ(nullptr, list->SetValue("\t", Variant::integer(1), true));
    EXPECT_EQ(0, list->GetCount());
    ASSERT_NE(nullptr, list->AddValue(" A ", Variant::integer(1)));
    EXPECT_EQ(" A ", name_at(*list, 0));
    EXPECT_EQ(-1, list->IndexOfName("a"));
    EXPECT_EQ(0, list->IndexOfName(" a "));
}

TEST(ParamList, DuplicateNamesFirstOneWins) {
    auto list = make_params_list();
    list->AddValue("x", Variant::integer(1));
    list->AddValue("X", Variant::integer(2));
    EXPECT_EQ(1, list->GetValue("x").to_int());
    list->SetValue("x", Variant::integer(5));
    EXPECT_EQ(5, list->GetItem(0)->GetValue().lVal);
    EXPECT_EQ(2, list->GetItem(1)->GetValue().lVal);
}

TEST(ParamList, SetValueCreatesOnlyWhenAsked) {
    auto list = list_of({"a"});
    EXPECT_EQ(nullptr, list->SetValue("New", Variant::integer(5), false));
    EXPECT_EQ(1, list->GetCount());
    TkvrParamsListItem* item = list->SetValue("New", Variant::integer(5), true);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(2, list->GetCount());
    EXPECT_EQ(5, list->GetValue("new").to_int());
}

TEST(ParamList, AppendRowClosesRowsOnce) {
    auto target = list_of({"x"});
    target->AppendRow(list_of({"a", "b"}).get());
    ASSERT_EQ(4, target->GetCount());
    EXPECT_EQ(KVR_ROW_SEPARATOR, name_at(*target, 3));

    auto closed = list_of({"x"});
    closed->AppendRow(list_of({"a", KVR_ROW_SEPARATOR}).get());
    EXPECT_EQ(3, closed->GetCount());

    auto unchanged = list_of({"x"});
    unchanged->AppendRow(make_params_list().get());
    unchanged->AppendRow(nullptr);
    EXPECT_EQ(1, unchanged->GetCount());
}

TEST(ParamList, AppendingAListToItselfDoublesIt) {
    auto list = list_of({"a", "b"});
    EXPECT_TRUE(list->AppendList(list.get()));
    EXPECT_EQ(4, list->GetCount());
}

TEST(ParamList, WrongTagRaisesButEmptyListsAreNotChecked) {
    auto list = make_params_list();
    list->Magic = 0;
    EXPECT_EQ(nullptr, list->FindItem("a"));
    EXPECT_TRUE(list->GetValue("a").is_empty_or_null());
    list->AddValue("a", Variant::integer(1));
    EXPECT_THROW(list->FindItem("a"), EAssertionFailed);
    EXPECT_THROW(list->GetValue("a"), EAssertionFailed);
    try {
        list->IndexOfName("a");
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string::npos,
                  std::string(e.what()).find(
                      "Assertion failure (kvrShared\\Public\\Common\\kvrParamLst, line "));
    }
    auto target = make_params_list();
    EXPECT_THROW(target->AppendList(list.get()), EAssertionFailed);
    list->Magic = KVR_PARAMS_MAGIC;
}

TEST(ParamList, AnsiStringsBecomeOleStringsOnAddButNotOnAssign) {
    auto list = make_params_list();
    const Variant ansi = Variant::ansi_string("hello");
    TkvrParamsListItem* item = list->AddValue("s", ansi);
    ASSERT_EQ(VT_BSTR, item->GetValue().vt);
    EXPECT_EQ("hello", list->GetValue("s").to_ansi());
    EXPECT_EQ(2, item->State);
    item->AssignValue(ansi.get());
    EXPECT_EQ(KVR_VT_ANSI_STRING, item->GetValue().vt);
    EXPECT_EQ("hello", Variant(item->GetValue()).to_ansi());
}

TEST(ParamList, ItemStateAtConstructionFollowsTheValue) {
    auto* empty = TkvrParamsListItem::Create("e", Variant::null().get());
    auto* full = TkvrParamsListItem::Create("f", Variant::integer(1).get());
    EXPECT_EQ(0, empty->State);
    EXPECT_EQ(2, full->State);
    TkvrParamsListItem::Destroy(empty);
    TkvrParamsListItem::Destroy(full);
}

TEST(ParamList, HeaderHelpersAndClassesShareOneLayout) {
    // A list built with the C helpers a host uses is read by the classes, and the reverse.
    kvr_params_list* host_list = kvr_list_new(1);
    kvr_list_add_text(host_list, "Name", "value");
    kvr_list_add_int(host_list, "Count", 7);
    TkvrParamsList* seen = TkvrParamsList::from(host_list);
    EXPECT_TRUE(seen->IsRowsList());
    EXPECT_EQ("value", seen->GetValue("NAME").to_ansi());
    seen->AddValue("Added", Variant::real(1.5));
    EXPECT_EQ(1.5, kvr_list_find(host_list, "added")->Value.dblVal);
    kvr_list_free(host_list);
}

TEST(ParamList, HandlesKeepEveryBitOfThePointerWidth) {
    // A module handle above 4 GB must not be cut to 32 bits; a 32-bit value is sign-extended
    // as Windows extends handle values.
    auto list = make_params_list();
    const auto high =
        reinterpret_cast<const void*>(uintptr_t(sizeof(void*) == 8 ? 0x140000000ull : 0x7ff00000u));
    kvr_list_add_handle(list.get(), "HANDLE", high);
    EXPECT_EQ(reinterpret_cast<intptr_t>(high), list->GetValue("HANDLE").to_handle());
    list->AddValue("Window", Variant::integer(-2));
    EXPECT_EQ(intptr_t(-2), list->GetValue("Window").to_handle());
}
