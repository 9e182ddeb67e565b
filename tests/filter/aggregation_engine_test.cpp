#include "filter/aggregation_engine.h"
#include "filter/cfg_options.h"
#include "filter/plugin_dm.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {

// One packet: name/value pairs; a name of "$NEW_ROW$" closes a row.
struct Field {
    const char* name;
    Variant value;
};
ParamsListPtr packet(std::initializer_list<Field> fields) {
    auto list = make_params_list();
    for (const auto& f : fields)
        list->AddValue(f.name, f.value);
    return list;
}
Field num(const char* name, double v) {
    return {name, Variant::real(v)};
}
Field txt(const char* name, const char* v) {
    return {name, Variant::text(v)};
}
Field null(const char* name) {
    return {name, Variant::null()};
}
Field row_end() {
    return {KVR_ROW_SEPARATOR, Variant::null()};
}

// "Name=value" for every output item, the separator as "|".
std::string describe(const TkvrParamsList& rows) {
    std::string text;
    for (int32_t i = 0; i < rows.GetCount(); ++i) {
        const TkvrParamsListItem* item = rows.GetItem(i);
        if (is_row_separator(item)) {
            text += "|";
            continue;
        }
        if (!text.empty() && text.back() != '|') text += " ";
        const Variant v(item->GetValue());
        text += std::string(item->GetName()) + "=" + (v.is_empty_or_null() ? "null" : v.to_ansi());
    }
    return text;
}

class Engine : public ::testing::Test {
  protected:
    void configure(std::array<std::string, 8> vars, double timeout = 0, bool no_reset = false) {
        engine.ApplySettings(vars, timeout, no_reset);
    }
    std::string feed(const ParamsListPtr& p, uint32_t tick = 1000) {
        engine.ProcessPacket(p.get(), tick, *out);
        return describe(*out);
    }
    AggregationEngine engine;
    ParamsListPtr out = make_params_list(true);
};

} // namespace

TEST_F(Engine, CollectsUntilEveryVariableWasSeenThenResets) {
    configure({"Temp", "Hum"});
    EXPECT_EQ("", feed(packet({num("Temp", 20.5), txt("Date", "d1")})));
    EXPECT_EQ("Temp=20.5 Date=d2 Hum=40|", feed(packet({num("Hum", 40), txt("Date", "d2")})));
    EXPECT_EQ("", feed(packet({null("Temp")})));
    EXPECT_TRUE(engine.HeldNames().empty()) << "a null value of a configured variable is not held";
}

TEST_F(Engine, NoResetHandsOnEveryLaterPacket) {
    configure({"Temp", "Hum"}, 0, true);
    feed(packet({num("Temp", 20.5), txt("Date", "d1")}));
    feed(packet({num("Hum", 40), txt("Date", "d2")}));
    EXPECT_EQ("Temp=20.5 Date=d2 Hum=41|", feed(packet({num("Hum", 41)})));
}

TEST_F(Engine, StopsAtTheFirstCompleteRowEnd) {
    configure({"Temp", "Hum"});
    EXPECT_EQ("Temp=1 Hum=2|", feed(packet({num("Temp", 1), row_end(), num("Hum", 2), row_end(),
                                            num("Temp", 3), num("Hum", 4)})));
    EXPECT_TRUE(engine.HeldNames().empty()) << "the third row was not looked at";
}

TEST_F(Engine, LastItemCountsAsARowEnd) {
    configure({"Temp"});
    EXPECT_EQ("Temp=7|", feed(packet({num("Temp", 7)})));
}

TEST_F(Engine, EmptyStringIsAValueNullOfAnotherVariableIsHeld) {
    configure({"Temp", "Hum"});
    feed(packet({txt("Temp", ""), num("Other", 1)}));
    feed(packet({null("Other")}));
    EXPECT_EQ("Temp= Other=null Hum=5|", feed(packet({num("Hum", 5)})));
}

TEST_F(Engine, ConfiguredNamesAreTrimmedAndMatchAnyCase) {
    configure({"  Temp ", "", "hum"});
    EXPECT_EQ(2, engine.EntryCount());
    feed(packet({num(" temp", 1)})); // a leading blank makes another variable
    EXPECT_EQ("", describe(*out));
    EXPECT_EQ(" temp=1 TEMP=2 HUM=3|", feed(packet({num("TEMP", 2), num("HUM", 3)})));
}

TEST_F(Engine, DuplicateVariableNamesDoNotBlockCompletion) {
    configure({"Temp", "TEMP", "Hum"});
    EXPECT_EQ(2, engine.EntryCount());
    EXPECT_EQ("Temp=1 Hum=2|", feed(packet({num("Temp", 1), num("Hum", 2)})));
}

TEST_F(Engine, TimeoutMeasuresThePauseBetweenCallsAcrossTheTickWrap) {
    configure({"Temp", "Hum"}, 5000);
    feed(packet({num("Temp", 1)}), 1000);
    EXPECT_EQ("Temp=1 Hum=2|", feed(packet({num("Hum", 2)}), 6000)) << "5000 ms is not more";
    feed(packet({num("Temp", 1)}), 10000);
    EXPECT_EQ("", feed(packet({num("Hum", 2)}), 17000)) << "7000 ms forgets the partial record";
    feed(packet({num("Temp", 1)}), 0xFFFFFFFFu - 4095u);
    EXPECT_EQ("", feed(packet({num("Hum", 2)}), 2048)) << "6144 ms across the wrap";
}

TEST_F(Engine, NoVariablesMeansNothingIsEverHandedOn) {
    configure({});
    EXPECT_EQ("", feed(packet({num("Temp", 1)})));
    EXPECT_TRUE(engine.HeldNames().empty());
}

TEST_F(Engine, ACallWithoutDataClearsTheLastRecordOnly) {
    configure({"Temp"});
    EXPECT_EQ("Temp=1|", feed(packet({num("Temp", 1)})));
    engine.ProcessPacket(nullptr, 1000, *out);
    EXPECT_EQ(0, out->GetCount()) << "the record handed on before must not go out twice";
}

// The engine keeps the items of a record for the next collection: a record must still show
// only the values of its own collection, each under its first spelling in that collection.
TEST_F(Engine, ALaterRecordHoldsOnlyItsOwnValuesUnderItsOwnSpelling) {
    configure({"Temp", "Hum"});
    feed(packet({num("Temp", 1), txt("Note", "first")}));
    EXPECT_EQ("Temp=1 Note=first Hum=2|", feed(packet({num("Hum", 2)})));
    const ParamsListPtr second = packet({num("TEMP", 3), txt("note", "")});
    second->GetItem(1)->AssignValue(Variant::ansi_string("ansi").get()); // a host's 8-bit string
    feed(second);
    EXPECT_EQ("TEMP=5 note=ansi Hum=4|", feed(packet({num("Hum", 4), num("temp", 5)})));
    EXPECT_EQ(VT_BSTR, out->GetItem(1)->GetValue().vt) << "8-bit strings go out as OLE strings";
    feed(packet({num("Hum", 6)}));
    EXPECT_EQ("Hum=6 Temp=7|", feed(packet({num("Temp", 7)})));
}

TEST(EngineSettings, TimeoutTruncatesAndWraps) {
    EXPECT_EQ(2u, timeout_from_setting(2.7));
    EXPECT_EQ(1500u, timeout_from_setting(1500.9));
    EXPECT_EQ(0u, timeout_from_setting(0.5));
    EXPECT_EQ(4294967295u, timeout_from_setting(-1));
}

TEST(EngineSettings, FreshSettingsObjectHoldsTheDefaults) {
    TaPlugin module(nullptr);
    TDataSourceCfg cfg(module);
    EXPECT_EQ(314, GetPropValue(cfg, "Left").to_int32());
    EXPECT_EQ(184, GetPropValue(cfg, "Top").to_int32());
    EXPECT_EQ(300, GetPropValue(cfg, "Height").to_int32());
    EXPECT_EQ(389, GetPropValue(cfg, "Width").to_int32());
    EXPECT_EQ("", GetPropValue(cfg, "var8_Text").to_text());
    EXPECT_EQ(0.0, GetPropValue(cfg, "spTimeout_Value").to_double());
    EXPECT_FALSE(GetPropValue(cfg, "chkNoReset_Checked").to_bool());
    SetPropValue(cfg, "var3_Text", PropValue(std::string("Hum")));
    EXPECT_EQ("Hum", cfg.VarText[2]);
}
