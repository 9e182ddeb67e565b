// The aggregation filter driven through the exports, as a host drives it: settings from an INI
// file named at LOAD, packets through ProcessData with the filter role, records read from the
// rows list handed back.

#include "host_fixture.h"
#include "shared_mutex.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A packet built from "Name=number", "Name='text'", "Name=null" and "|" (row end) tokens.
class Packet {
  public:
    Packet(std::initializer_list<const char*> tokens) : list_(kvr_list_new(0)) {
        for (const std::string token : tokens) {
            if (token == "|") {
                kvr_list_add_null(list_, KVR_ROW_SEPARATOR);
                continue;
            }
            const size_t equals = token.find('=');
            const std::string name = token.substr(0, equals);
            const std::string value = token.substr(equals + 1);
            if (value == "null")
                kvr_list_add_null(list_, name.c_str());
            else if (value.front() == '\'')
                kvr_list_add_text(list_, name.c_str(), value.substr(1, value.size() - 2).c_str());
            else
                kvr_list_add_double(list_, name.c_str(), std::stod(value));
        }
    }
    ~Packet() { kvr_list_free(list_); }
    kvr_params_list* list() const { return list_; }

  private:
    kvr_params_list* list_;
};

// "Name=value" for each item of a handed-on list, the row end as "|".
std::string describe(const kvr_params_list* rows) {
    std::string text;
    for (int32_t i = 0; i < rows->Count; ++i) {
        const kvr_params_list_item* item = rows->Items[i];
        if (std::string(item->Name) == KVR_ROW_SEPARATOR) {
            text += "|";
            continue;
        }
        if (!text.empty() && text.back() != '|') text += " ";
        text += item->Name;
        text += "=";
        if (item->Value.vt == VT_R8) {
            std::ostringstream number;
            number << item->Value.dblVal;
            text += number.str();
        } else if (item->Value.vt == VT_BSTR) {
            text += "'" + bstr_text(item->Value) + "'";
        } else if (item->Value.vt == VT_NULL) {
            text += "null";
        } else {
            text += "?" + std::to_string(item->Value.vt);
        }
    }
    return text;
}

// Hands a packet to an instance with the filter role; answers the handed-on list, or null.
const kvr_params_list* filter(uint32_t key, const Packet& packet, int32_t* result = nullptr) {
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
    call.rec.Data = packet.list();
    const int32_t answer = Plugin::get().ProcessData(&call.rec);
    if (result) *result = answer;
    if (call.rec.ResultKind != KVR_RESULTKIND_ROWS_LIST) return nullptr;
    return reinterpret_cast<const kvr_params_list*>(call.rec.ResultValue);
}

std::string record_of(uint32_t key, const Packet& packet) {
    const kvr_params_list* rows = filter(key, packet);
    return rows ? describe(rows) : std::string("(nothing)");
}

class Aggregation : public ::testing::Test {
  protected:
    void TearDown() override {
        for (uint32_t key : keys_)
            release(key);
        for (const std::string& file : files_)
            DeleteFileA(file.c_str());
    }
    // A settings file with the given [Common] entries.
    std::string settings_file(const std::string& entries) {
        files_.push_back(temp_ini_path("aggregation_test"));
        std::ofstream(files_.back(), std::ios::binary) << "[Common]\r\n" << entries;
        return files_.back();
    }
    // A loaded instance that reads its settings from ini_file.
    uint32_t loaded(const std::string& ini_file) {
        keys_.push_back(fresh_key());
        Call call(keys_.back());
        call.text("INI-FILE", ini_file.c_str());
        EXPECT_EQ(0, call.command("LOAD"));
        return keys_.back();
    }
    // A command that names the settings file, as SAVE- and LOAD-SETTINGS-NOW need.
    int32_t command(uint32_t key, const char* name, const std::string& ini_file) {
        Call call(key);
        call.text("INI-FILE", ini_file.c_str());
        return call.command(name);
    }

  private:
    std::vector<uint32_t> keys_;
    std::vector<std::string> files_;
};

} // namespace

TEST_F(Aggregation, CollectsUntilEveryVariableHasAValueThenStartsAfresh) {
    const uint32_t key = loaded(settings_file("Var1=Temp\r\nVar2=Hum\r\n"));
    EXPECT_EQ("(nothing)", record_of(key, {"Temp=20.5", "Date='d1'"}));
    EXPECT_EQ("Temp=20.5 Date='d2' Hum=40|", record_of(key, {"Hum=40", "Date='d2'"}));
    EXPECT_EQ("(nothing)", record_of(key, {"Temp=null"}));
    EXPECT_EQ("(nothing)", record_of(key, {"Hum=41"}));
    // The rows after the one that completed a record are not looked at.
    EXPECT_EQ("Hum=41 Temp=1|",
              record_of(key, {"Temp=1", "|", "Other=null", "|", "Temp=3", "Hum=4", "|"}));
    EXPECT_EQ("(nothing)", record_of(key, {"Hum=5"}));
}

TEST_F(Aggregation, NoResetHandsOnTheLatestValuesWithEveryPacket) {
    const uint32_t key =
        loaded(settings_file("Var1=  Temp \r\nVar3=hum\r\nTimeout=0\r\nNo reset=True\r\n"));
    EXPECT_EQ("(nothing)", record_of(key, {"TEMP=1"}));
    EXPECT_EQ("TEMP=1 Hum=2|", record_of(key, {"Hum=2"}));
    EXPECT_EQ("TEMP=1 Hum=3|", record_of(key, {"Hum=3"}));
    EXPECT_EQ("TEMP=1 Hum=3 x=null|", record_of(key, {"x=null"}));
}

TEST_F(Aggregation, TimeoutForgetsAHalfFilledRecordAfterAPause) {
    const uint32_t key = loaded(settings_file("Var1=a\r\nVar2=b\r\nTimeout=1000.9\r\n"));
    EXPECT_EQ("(nothing)", record_of(key, {"a=1"}));
    Sleep(2500);
    EXPECT_EQ("(nothing)", record_of(key, {"b=2"}));
    EXPECT_EQ("b=2 a=3|", record_of(key, {"a=3"}));
}

TEST_F(Aggregation, WithoutSettingsNothingIsHandedOnAndTheCallSucceeds) {
    const uint32_t key = loaded(temp_ini_path("missing")); // no file: the registry, nothing there
    int32_t result = -1;
    EXPECT_EQ(nullptr, filter(key, {"Temp=1", "Hum=2"}, &result));
    EXPECT_EQ(0, result);
}

TEST_F(Aggregation, ReloadedSettingsStartCollectingAfresh) {
    const std::string file = settings_file("Var1=a\r\nVar2=b\r\n");
    const uint32_t key = loaded(file);
    EXPECT_EQ("(nothing)", record_of(key, {"a=1"}));
    std::ofstream(file, std::ios::binary) << "[Common]\r\nVar1=b\r\n";
    EXPECT_EQ(-2, command(key, "LOAD-SETTINGS-NOW", file));
    EXPECT_EQ("b=2|", record_of(key, {"b=2"}));
}

TEST_F(Aggregation, SavedSettingsUseTheStoreFormat) {
    const std::string file = settings_file("Var2=Hum\r\nTimeout=1500\r\nNo reset=True\r\n");
    const uint32_t key = loaded(file);
    EXPECT_EQ(-2, command(key, "SAVE-SETTINGS-NOW", file));
    const std::string text = read_file(file);
    EXPECT_NE(std::string::npos, text.find("Var2=Hum\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Timeout=1500\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("No reset=True\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Height=300\r\n")) << text;
    // An empty name is an empty text, stored as such (only a missing value is deleted).
    EXPECT_NE(std::string::npos, text.find("Var1=\r\n")) << text;
}

TEST_F(Aggregation, EachHostThreadKeepsItsOwnRecordUntilItsNextCall) {
    const uint32_t key = loaded(settings_file("Var1=a\r\n"));
    const kvr_params_list* first = filter(key, {"a=1"});
    ASSERT_NE(nullptr, first);
    std::string other_thread_saw;
    std::thread([&] {
        const kvr_params_list* mine = filter(key, {"a=2", "b=3"});
        other_thread_saw = mine ? describe(mine) : "(nothing)";
        EXPECT_NE(first, mine);
    }).join();
    EXPECT_EQ("a=2 b=3|", other_thread_saw);
    EXPECT_EQ("a=1|", describe(first));
}

// Four host threads stream into one instance and four more into one instance each, while a
// fifth thread reloads the shared instance's settings now and then. Every record handed back
// must be complete and well formed when its thread reads it.
TEST_F(Aggregation, ManyThreadsStreamingIntoSharedAndOwnInstances) {
    const char* seconds_text = std::getenv("KVR_STRESS_SECONDS");
    const int seconds = seconds_text ? std::atoi(seconds_text) : 20;
    const std::string file = settings_file("Var1=a\r\nVar2=b\r\nVar3=c\r\n");
    const uint32_t shared = loaded(file);
    std::vector<uint32_t> keys = {shared, shared, shared, shared};
    for (int i = 0; i < 4; ++i)
        keys.push_back(loaded(file));

    std::atomic<bool> stop{false};
    std::atomic<int64_t> records{0}, faults{0};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < keys.size(); ++t) {
        threads.emplace_back([&, t] {
            const Packet parts[] = {{"a=1", "t=0"}, {"b=2", "c=3"}, {"c=4", "|", "a=5", "b=6"}};
            for (int n = 0; !stop; ++n) {
                const kvr_params_list* rows = filter(keys[t], parts[(n + t) % 3]);
                if (!rows) continue;
                ++records;
                std::string seen;
                bool well_formed = rows->Count >= 4 && kvr_list_is_rows(rows) &&
                                   std::string(rows->Items[rows->Count - 1]->Name) == "$NEW_ROW$";
                for (int32_t i = 0; well_formed && i + 1 < rows->Count; ++i) {
                    const kvr_params_list_item* item = rows->Items[i];
                    const std::string name = item->Name;
                    well_formed = (name == "a" || name == "b" || name == "c" || name == "t") &&
                                  seen.find(name) == std::string::npos && item->Value.vt == VT_R8;
                    seen += name;
                }
                const bool complete = seen.find('a') != std::string::npos &&
                                      seen.find('b') != std::string::npos &&
                                      seen.find('c') != std::string::npos;
                if (!well_formed || !complete) ++faults;
            }
        });
    }
    threads.emplace_back([&] {
        while (!stop) {
            command(shared, "LOAD-SETTINGS-NOW", file);
            Sleep(50);
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& thread : threads)
        thread.join();
    EXPECT_GT(records.load(), 0);
    EXPECT_EQ(0, faults.load());
    std::printf("%lld records from %zu data threads in %d s\n", (long long)records.load(),
                keys.size(), seconds);
}

// A packet whose value lies in memory the host may not touch faults while the engine walks it
// under its lock. Another thread is served afterwards, and what the broken packet had brought
// is not held.
TEST_F(Aggregation, PacketThatFaultsMidWalkLeavesTheEngineServingOtherThreads) {
    const uint32_t key = loaded(settings_file("Var1=a\r\nVar2=b\r\n"));
    ForbiddenPage page;
    Packet broken{"a=1"};
    kvr_params_list_item* bad = kvr_list_add_null(broken.list(), "x");
    bad->Value = page.forbidden_text();
    int32_t result = 0;
    EXPECT_EQ(nullptr, filter(key, broken, &result));
    EXPECT_EQ(-3, result);
    VariantInit(&bad->Value);

    std::string first, second;
    std::thread([&] {
        first = record_of(key, {"b=2"});
        second = record_of(key, {"a=3"});
    }).join();
    EXPECT_EQ("(nothing)", first) << "a=1 of the broken packet is not held";
    EXPECT_EQ("b=2 a=3|", second);
}

// The list a thread was handed stays as it was until that thread calls again or UNLOAD, also
// after the thread has ended and many new threads have come (and maybe taken its id).
TEST_F(Aggregation, ListOfAnEndedThreadStaysWhileNewThreadsArrive) {
    const uint32_t key = loaded(settings_file("Var1=a\r\n"));
    const kvr_params_list* kept = nullptr;
    std::thread([&] { kept = filter(key, {"a=1"}); }).join();
    ASSERT_NE(nullptr, kept);
    for (int i = 0; i < 40; ++i)
        std::thread([&] { filter(key, {"a=2", "b=3"}); }).join();
    EXPECT_EQ(KVR_PARAMS_MAGIC, kept->Magic) << "the list was freed";
    EXPECT_EQ("a=1|", describe(kept));
}

// Host threads stream into one instance while another thread unloads it and loads it again,
// or releases it and loads a new one, over and over: no call may have its rows list freed, or
// its instance destroyed, under it. A thread reads its record only when no UNLOAD or release
// ran since its call began, since the list is promised only until then.
TEST_F(Aggregation, UnloadAndReleaseWhileThreadsStreamFreeNothingInUse) {
    const std::string file = settings_file("Var1=a\r\nVar2=b\r\n");
    const uint32_t key = loaded(file);
    SharedMutex unloading;
    std::atomic<uint64_t> epoch{0};
    std::atomic<bool> stop{false};
    std::atomic<int64_t> records{0}, faults{0};
    std::vector<std::thread> streams;
    for (int t = 0; t < 4; ++t) {
        streams.emplace_back([&, t] {
            const Packet parts[] = {{"a=1"}, {"b=2"}};
            for (int n = t; !stop; ++n) {
                const uint64_t before = epoch;
                const kvr_params_list* rows = filter(key, parts[n % 2]);
                std::shared_lock reading(unloading);
                if (!rows || epoch != before) continue;
                ++records;
                const std::string seen = describe(rows);
                if (seen != "a=1 b=2|" && seen != "b=2 a=1|" && faults++ < 5)
                    ADD_FAILURE() << "record " << seen;
            }
        });
    }
    for (int cycle = 0; cycle < 200; ++cycle) {
        {
            std::unique_lock exclusive(unloading);
            if (cycle % 2)
                EXPECT_EQ(0, command(key, "UNLOAD", file));
            else
                release(key);
            ++epoch;
        }
        EXPECT_EQ(0, command(key, "LOAD", file));
        Sleep(cycle % 5);
    }
    stop = true;
    for (auto& stream : streams)
        stream.join();
    EXPECT_GT(records.load(), 0);
    EXPECT_EQ(0, faults.load());
}
