// Drives aggregation.dll through its exports with random but well-formed input, on several
// threads at once: parameter lists with names empty, blank, repeated, 64 KB long, non-ASCII
// or the row separator's, values of every VARIANT type a host may pass (empty, null, the
// 8-bit runtime string, huge doubles, NaN, ...), up to --max-items items; data calls of every
// role; the commands (LOAD, UNLOAD, SET-ITEMS, ITEMS, SET-STATE, EVENT, EVENTS-SUPPORT, the
// settings commands, unknown ones); log fetches and instance releases, all on a few shared
// instance keys.
//
// Checked: the process survives; every rows list handed back is well formed
// (rows_list_problem); every log line the module sends or queues is well formed; every answer
// is one the interface allows; and after each round, once every instance is unloaded and
// released, the heap bytes in use are back at the baseline measured after a warm-up round.
//
// Usage: export_fuzz.exe [--seed N] [--operations N] [--threads N] [--instances N]
//                        [--rounds N] [--max-items N]
// The seed is printed; the same seed gives each thread the same operations again (their
// interleaving is the system's). Exit status 1 when an invariant failed.

#include "plugin_host.h"
#include "shared_mutex.h"
#include "temp_dir.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace stress;

namespace {

struct Options {
    uint64_t seed = 0;
    uint64_t operations = 100000;
    int threads = 8;
    int instances = 6;
    int rounds = 4;
    int max_items = 10000;
};

// Memory in use may differ from the baseline by this much after a round (what the system
// keeps for threads and handles); a list or an item lost now and then is far more.
constexpr uint64_t kHeapTolerance = 64 * 1024;

enum Op {
    kProcessFilter,
    kProcessOtherRole,
    kGetData,
    kGetEvents,
    kLoad,
    kUnload,
    kSetItems,
    kItems,
    kSetState,
    kEvent,
    kEventsSupport,
    kSaveSettings,
    kLoadSettings,
    kOtherCommand,
    kRelease,
    kIdentify,
    kFetchLog,
    kOptionsDialog,
    kOpCount
};
constexpr std::array<const char*, kOpCount> kOpNames = {"ProcessData filter",
                                                        "ProcessData other",
                                                        "GetData",
                                                        "GetEvents",
                                                        "LOAD",
                                                        "UNLOAD",
                                                        "SET-ITEMS",
                                                        "ITEMS",
                                                        "SET-STATE",
                                                        "EVENT",
                                                        "EVENTS-SUPPORT",
                                                        "SAVE-SETTINGS-NOW",
                                                        "LOAD-SETTINGS-NOW",
                                                        "other command",
                                                        "release",
                                                        "identification",
                                                        "GetLogEx",
                                                        "ShowOptionsDialog"};
// Weights of the operations, in the order above.
constexpr std::array<int, kOpCount> kOpWeights = {40, 6, 4, 4, 8, 6, 4, 2, 3,
                                                  3,  1, 2, 2, 2, 2, 2, 2, 1};

// What every thread adds up.
struct Tally {
    std::array<std::atomic<uint64_t>, kOpCount> calls{};
    std::array<std::atomic<uint64_t>, kOpCount> minus_three{};
    std::atomic<uint64_t> records{0};
    std::atomic<uint64_t> records_checked{0};
};

// The first problems found, with the seed, thread and operation that found them.
class Problems {
  public:
    void add(const std::string& problem) {
        std::lock_guard lock(guard_);
        ++count_;
        if (first_.size() < 20) first_.push_back(problem);
    }
    uint64_t count() const {
        std::lock_guard lock(guard_);
        return count_;
    }
    void print() const {
        std::lock_guard lock(guard_);
        for (const std::string& problem : first_)
            std::fprintf(stderr, "export_fuzz: %s\n", problem.c_str());
    }

  private:
    mutable std::mutex guard_;
    std::vector<std::string> first_;
    uint64_t count_ = 0;
};

// One instance key with its settings file. UNLOAD and release take `freeing` exclusively and
// count `epoch` up; a thread reads what a data call handed back only under a shared hold and
// when the epoch is the one it saw before the call, since a rows list is promised only until
// UNLOAD or release.
struct Instance {
    uint32_t key = 0;
    std::string ini_file;
    std::string other_ini_file;
    std::string registry_path;
    SharedMutex freeing;
    std::atomic<uint64_t> epoch{0};
};

// What each thread is doing, for the report of a crash.
struct Activity {
    std::atomic<int> op{-1};
    std::atomic<uint64_t> index{0};
};
Activity g_activity[64];
uint64_t g_seed = 0;

LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "export_fuzz: CRASH (code 0x%08lx) with seed %llu\n",
                 info->ExceptionRecord->ExceptionCode, (unsigned long long)g_seed);
    for (int t = 0; t < 64; ++t)
        if (const int op = g_activity[t].op; op >= 0)
            std::fprintf(stderr, "  thread %d at operation %llu: %s\n", t,
                         (unsigned long long)g_activity[t].index.load(), kOpNames[size_t(op)]);
    std::fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

// Random input, from one seed per thread and round.
class Generator {
  public:
    Generator(uint64_t seed, int max_items) : random_(seed), max_items_(max_items) {}

    uint64_t below(uint64_t bound) { return bound ? random_() % bound : 0; }
    bool chance(int percent) { return below(100) < uint64_t(percent); }
    template <class T> T pick(const std::vector<T>& values) {
        return values[size_t(below(values.size()))];
    }

    Op op() {
        int total = 0;
        for (int weight : kOpWeights)
            total += weight;
        int roll = int(below(uint64_t(total)));
        for (int op = 0; op < kOpCount; ++op) {
            if (roll < kOpWeights[size_t(op)]) return Op(op);
            roll -= kOpWeights[size_t(op)];
        }
        return kProcessFilter;
    }

    // A name as hosts send them, the odd ones included.
    std::string name(int& long_names_left) {
        static const std::vector<std::string> common = {
            "a",     "b",       "c",        "A",          "Temp",       "TEMP",          "temp",
            "Hum",   "Date",    "t",        "x",          "Wind speed", "$new_row$",     "RESULT",
            "ITEMS", "COMMAND", "INI-FILE", "EVENT-TYPE", "LANGUAGE",   "TEMPORARY-LOAD"};
        const uint64_t roll = below(100);
        if (roll < 55) return pick(common);
        if (roll < 62) return "";
        if (roll < 66) return chance(50) ? " " : "\t \r\n";
        if (roll < 73) return KVR_ROW_SEPARATOR;
        if (roll < 80) return bytes(1 + below(12), 0x80, 0xFF);
        if (roll < 82 && long_names_left > 0) {
            --long_names_left;
            return bytes(64 * 1024, 'a', 'z');
        }
        return bytes(1 + below(20), 0x21, 0x7E);
    }

    // A value of any type a host may pass; `long_texts` allows texts of thousands of chars.
    VARIANT value(bool long_texts) {
        VARIANT v;
        VariantInit(&v);
        switch (below(22)) {
        case 0:
            break;
        case 1:
            v.vt = VT_NULL;
            break;
        case 2:
            v.vt = VT_I1;
            v.cVal = char(random_());
            break;
        case 3:
            v.vt = VT_UI1;
            v.bVal = BYTE(random_());
            break;
        case 4:
            v.vt = VT_I2;
            v.iVal = SHORT(random_());
            break;
        case 5:
            v.vt = VT_UI2;
            v.uiVal = USHORT(random_());
            break;
        case 6:
            v.vt = VT_I4;
            v.lVal =
                pick(std::vector<LONG>{0, 1, -1, LONG(random_()), 2147483647, -2147483647 - 1});
            break;
        case 7:
            v.vt = VT_UI4;
            v.ulVal = ULONG(random_());
            break;
        case 8:
            v.vt = VT_INT;
            v.intVal = INT(random_());
            break;
        case 9:
            v.vt = VT_UINT;
            v.uintVal = UINT(random_());
            break;
        case 10:
            v.vt = VT_I8;
            v.llVal = LONGLONG(random_());
            break;
        case 11:
            v.vt = VT_UI8;
            v.ullVal = ULONGLONG(random_());
            break;
        case 12:
            v.vt = VT_R4;
            v.fltVal = float(odd_double());
            break;
        case 13:
        case 14:
            v.vt = VT_R8;
            v.dblVal = odd_double();
            break;
        case 15:
            v.vt = VT_CY;
            v.cyVal.int64 = LONGLONG(random_());
            break;
        case 16:
            v.vt = VT_DATE;
            v.date = odd_double();
            break;
        case 17:
            v.vt = VT_BOOL;
            v.boolVal = chance(50) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case 18:
            v.vt = VT_ERROR;
            v.scode = SCODE(random_());
            break;
        case 19: {
            DECIMAL d{};
            d.scale = BYTE(below(29));
            d.sign = chance(50) ? DECIMAL_NEG : 0;
            d.Hi32 = ULONG(random_());
            d.Lo64 = random_();
            v.decVal = d;
            v.vt = VT_DECIMAL;
            break;
        }
        case 20:
            v.vt = VT_BSTR;
            v.bstrVal = wide_text(long_texts);
            break;
        default: {
            const std::string text = below(4) == 0 ? std::string() : bytes(below(40), 0x01, 0xFF);
            v.vt = KVR_VT_ANSI_STRING;
            v.byref = kvr_ansi_new(text.data(), int32_t(text.size()));
            break;
        }
        }
        return v;
    }

    // A list as a host makes it; a rows list now and then when allowed.
    kvr_params_list* list(bool rows_allowed, int max_items) {
        kvr_params_list* list = kvr_list_new(rows_allowed && chance(20));
        const uint64_t roll = below(100);
        int count = 0;
        if (roll < 5)
            count = 0;
        else if (roll < 65)
            count = 1 + int(below(8));
        else if (roll < 88)
            count = 9 + int(below(92));
        else if (roll < 98)
            count = 100 + int(below(901));
        else
            count = 1000 + int(below(uint64_t(std::max(1, max_items - 999))));
        count = std::min(count, max_items);
        int long_names_left = 2;
        for (int i = 0; i < count; ++i)
            add(list, name(long_names_left), count <= 100);
        return list;
    }

    // Appends a named value as a host may: the name and value exactly as given.
    void add(kvr_params_list* list, const std::string& name, bool long_texts) {
        VARIANT v = value(long_texts);
        kvr_params_list_item* item = kvr_item_new(name.data(), int32_t(name.size()), &v);
        kvr_variant_clear(&v);
        if (item && !kvr_list_append_item(list, item)) kvr_item_free(item);
    }

    // A SET-ITEMS text: lines of "|"-separated fields, type names right or wrong.
    std::string items_text() {
        static const std::vector<std::string> types = {
            "String", "float", "INTEGER", "DateTime", "Currency", "nosuchtype", ""};
        std::string text;
        const uint64_t lines = below(12);
        for (uint64_t i = 0; i < lines; ++i) {
            int long_names_left = 1;
            text += name(long_names_left) + "|" + name(long_names_left);
            if (chance(70)) text += "|" + pick(types);
            if (chance(30)) text += "|" + bytes(below(10), 0x20, 0x7E);
            text += pick(std::vector<std::string>{"\r\n", "\n", "\r", "|\r\n"});
        }
        return text;
    }

    std::string bytes(uint64_t count, int low, int high) {
        std::string text(size_t(count), ' ');
        for (char& c : text)
            c = char(low + int(below(uint64_t(high - low + 1))));
        return text;
    }

  private:
    double odd_double() {
        static const std::vector<double> odd = {0.0,
                                                -0.0,
                                                1e308,
                                                -1e308,
                                                std::numeric_limits<double>::max(),
                                                std::numeric_limits<double>::quiet_NaN(),
                                                std::numeric_limits<double>::infinity(),
                                                -std::numeric_limits<double>::infinity(),
                                                std::numeric_limits<double>::denorm_min(),
                                                2147483648.0,
                                                -9.2e18};
        if (chance(40)) return pick(odd);
        return (double(random_()) / 1e9) * (chance(50) ? 1 : -1);
    }

    BSTR wide_text(bool long_texts) {
        const uint64_t length = long_texts && chance(5) ? 1000 + below(4000) : below(30);
        std::wstring text(size_t(length), L' ');
        for (wchar_t& c : text) {
            const uint64_t kind = below(10);
            c = kind < 6   ? wchar_t(0x20 + below(0x5F))
                : kind < 8 ? wchar_t(0xA0 + below(0x2000))
                : kind < 9 ? wchar_t(0xD800 + below(0x800)) // halves of surrogate pairs
                           : wchar_t(0);
        }
        return SysAllocStringLen(text.data(), UINT(text.size()));
    }

    std::mt19937_64 random_;
    int max_items_;
};

class Worker {
  public:
    Worker(Plugin& plugin, LogWindow& window, std::vector<Instance>& instances, Tally& tally,
           Problems& problems, uint64_t seed, int max_items, int thread)
        : plugin_(plugin), window_(window), instances_(instances), tally_(tally),
          problems_(problems), random_(seed, max_items), max_items_(max_items), thread_(thread),
          seed_(seed) {}

    void run(uint64_t operations) {
        for (uint64_t n = 0; n < operations; ++n) {
            const Op op = random_.op();
            Instance& instance = instances_[size_t(random_.below(instances_.size()))];
            g_activity[thread_].op = op;
            g_activity[thread_].index = n;
            operation_ = n;
            ++tally_.calls[op];
            run(op, instance);
        }
        g_activity[thread_].op = -1;
    }

  private:
    void problem(Op op, const std::string& what) {
        problems_.add("seed " + std::to_string(seed_) + ", thread " + std::to_string(thread_) +
                      ", operation " + std::to_string(operation_) + " (" + kOpNames[op] +
                      "): " + what);
    }

    void expect_result(Op op, int32_t result, std::initializer_list<int32_t> allowed) {
        if (result == -3) ++tally_.minus_three[op];
        if (std::find(allowed.begin(), allowed.end(), result) == allowed.end())
            problem(op, "answered " + std::to_string(result));
    }

    // A command's list: its own values first, then a few random items after them.
    void add_noise(List& params) {
        const uint64_t extra = random_.below(4);
        int long_names_left = 1;
        for (uint64_t i = 0; i < extra; ++i)
            random_.add(params.get(), random_.name(long_names_left), true);
    }

    int32_t command(Op op, Instance& instance, List& params, const char* name) {
        add_noise(params);
        const int32_t result = run_command(plugin_, instance.key, params, name);
        expect_result(op, result, {-3, -2, -1, 0});
        return result;
    }

    // Runs a call that may free rows lists (UNLOAD, release) so that no thread reads a list
    // handed back by a call that overlapped it.
    template <class Call> void freeing(Instance& instance, Call&& call) {
        std::unique_lock exclusive(instance.freeing);
        call();
        ++instance.epoch;
    }

    void data_call(Op op, Instance& instance) {
        const bool filter = op == kProcessFilter;
        kvr_params_list* data = op == kGetData ? nullptr : random_.list(true, max_items_);
        List params;
        add_noise(params);
        TPluginCallRec rec = record(instance.key, params.get());
        static const uint8_t roles[] = {0, KVR_MTT_DATA_QUERY, KVR_MTT_DATA_EXPORT,
                                        KVR_MTT_EVENTS_HANDLING, KVR_MTT_FILTER | KVR_MTT_LOGGING};
        rec.ModuleTypes = filter ? KVR_MTT_FILTER : roles[random_.below(std::size(roles))];
        rec.DataKind = filter || random_.chance(80) ? KVR_DATAKIND_PARAMS_LIST : 0;
        rec.Data = rec.DataKind == KVR_DATAKIND_PARAMS_LIST ? data : nullptr;
        if (op != kGetData) { // GetData leaves ResultKind as the host set it
            rec.ResultKind = uint8_t(random_.below(8));
            rec.ResultValue = intptr_t(random_.below(1000));
        }
        const uint64_t epoch = instance.epoch;
        const int32_t result = op == kGetData ? plugin_.GetData(&rec) : plugin_.ProcessData(&rec);
        expect_result(op, result, {-3, -1, 0});
        if (rec.Data && rec.Data != data) problem(op, "Data was replaced by the module");
        if (result >= 0 && rec.ResultKind == KVR_RESULTKIND_ROWS_LIST) {
            std::shared_lock reading(instance.freeing);
            if (instance.epoch == epoch) {
                ++tally_.records_checked;
                const std::string what =
                    rows_list_problem(reinterpret_cast<const kvr_params_list*>(rec.ResultValue));
                if (!what.empty()) problem(op, "rows list: " + what);
            }
            ++tally_.records;
        }
        kvr_list_free(data);
    }

    void get_events(Instance& instance) {
        List params;
        TPluginCallRec rec = record(instance.key, params.get());
        rec.ModuleTypes = KVR_MTT_EVENTS_HANDLING;
        const uint64_t roll = random_.below(3);
        rec.ResultValue = roll == 0 ? 0 : roll == 1 ? events_[instance.key] : 12345;
        const uint64_t epoch = instance.epoch;
        const int32_t result = plugin_.GetEvents(&rec);
        expect_result(kGetEvents, result, {-3, -1, 0});
        if (result == 0 && rec.ResultKind == KVR_RESULTKIND_ROWS_LIST && rec.ResultValue) {
            events_[instance.key] = rec.ResultValue;
            std::shared_lock reading(instance.freeing);
            if (instance.epoch == epoch) {
                const std::string what = rows_list_problem(
                    reinterpret_cast<const kvr_params_list*>(rec.ResultValue), true);
                if (!what.empty()) problem(kGetEvents, "events list: " + what);
            }
        }
    }

    void load(Instance& instance) {
        List params;
        params.handle("MessagesProcessorHandle", window_.handle());
        params.text("INI-FILE", random_.chance(90) ? instance.ini_file : instance.other_ini_file);
        params.text("RegistryPath", instance.registry_path);
        if (random_.chance(20)) params.text("ApplicationName", "export_fuzz.exe");
        if (random_.chance(10)) params.text("INISectionPrefix", "Other");
        command(kLoad, instance, params, "LOAD");
    }

    void settings_command(Op op, Instance& instance) {
        List params;
        const uint64_t roll = random_.below(10);
        if (roll < 6)
            params.text("INI-FILE", instance.ini_file);
        else if (roll < 8)
            params.text("INI-FILE", instance.other_ini_file);
        else if (roll < 9)
            params.text("INI-FILE", "C:\\no such folder\\settings.ini");
        command(op, instance, params,
                op == kSaveSettings ? "SAVE-SETTINGS-NOW" : "LOAD-SETTINGS-NOW");
    }

    void identify(Instance& instance) {
        TPluginCallRec rec = record(instance.key);
        if (plugin_.GetModuleType(&rec) != KVR_MTT_FILTER) problem(kIdentify, "GetModuleType");
        if (plugin_.GetAppMinVersion(&rec) != 4.0f) problem(kIdentify, "GetAppMinVersion");
        const char* description = plugin_.GetModuleDescription(&rec);
        if (!description || std::strcmp(description, "Aggregation") != 0)
            problem(kIdentify, "GetModuleDescription");
        if (plugin_.MultiThreadSupport(&rec) != 1) problem(kIdentify, "MultiThreadSupport");
        char buffer[64];
        rec.Data = buffer;
        rec.BufferSize = sizeof buffer;
        if (plugin_.GetCustomCommands(&rec) != 0 || rec.ResultValue != 0)
            problem(kIdentify, "GetCustomCommands");
        rec.CallMode = KVR_CALLMODE_LIBRARY_UNLOAD;
        if (plugin_.GetModuleType(&rec) != 0) problem(kIdentify, "GetModuleType on 0xFE");
    }

    void fetch_log(Instance& instance) {
        std::vector<char> buffer(size_t(random_.pick(std::vector<int>{1, 16, 4096, 65536})));
        TPluginCallRec rec = record(instance.key);
        rec.Data = buffer.data();
        rec.BufferSize = random_.chance(10) ? 0 : int32_t(buffer.size());
        const int32_t copied = plugin_.GetLogEx(&rec);
        if (copied < 0 || copied > rec.BufferSize || rec.ResultKind != KVR_RESULTKIND_VALUE)
            problem(kFetchLog, "GetLogEx answered " + std::to_string(copied));
        if (copied > 0) {
            const std::string what =
                log_text_problem(std::string(buffer.data(), size_t(copied)), false);
            if (!what.empty()) problem(kFetchLog, "log text: " + what);
        }
    }

    // The module's dialog is modal: a real one would wait for a user. The call runs without an
    // instance (key 0) and must answer "no instance".
    void options_dialog(Instance&) {
        List params;
        TPluginCallRec rec = record(0, params.get());
        plugin_.ShowOptionsDialog(&rec);
        if (rec.ResultKind != KVR_RESULTKIND_VALUE || rec.ResultType != KVR_RESULTTYPE_DIALOG ||
            rec.ResultValue != 2)
            problem(kOptionsDialog, "status " + std::to_string(rec.ResultValue));
    }

    void run(Op op, Instance& instance) {
        switch (op) {
        case kProcessFilter:
        case kProcessOtherRole:
        case kGetData:
            return data_call(op, instance);
        case kGetEvents:
            return get_events(instance);
        case kLoad:
            return load(instance);
        case kUnload:
            return freeing(instance, [&] {
                List params;
                params.text("INI-FILE", instance.ini_file);
                command(kUnload, instance, params, "UNLOAD");
            });
        case kSetItems: {
            List params;
            if (random_.chance(90))
                params.text("ITEMS", random_.items_text());
            else
                params.integer("ITEMS", 5);
            command(op, instance, params, "SET-ITEMS");
            return;
        }
        case kItems: {
            List params;
            params.text("RESULT", "");
            if (command(op, instance, params, "ITEMS") == 0 &&
                kvr_list_find(params.get(), "RESULT")->Value.vt != VT_BSTR)
                problem(op, "RESULT is not a text");
            return;
        }
        case kSetState: {
            List params;
            if (random_.chance(50)) params.text("DATA-SOURCES-IN-CFG", random_.items_text());
            if (random_.chance(80)) random_.add(params.get(), "RESULT", false);
            TPluginCallRec rec = record(instance.key, params.get());
            rec.ModuleTypes = uint8_t(random_.below(256));
            params.text("COMMAND", "SET-STATE");
            add_noise(params);
            expect_result(op, plugin_.ExecutePluginCommand(&rec), {-3, -1, 0});
            return;
        }
        case kEvent: {
            List params;
            if (random_.chance(80)) random_.add(params.get(), "EVENT-TYPE", false);
            command(op, instance, params, "EVENT");
            return;
        }
        case kEventsSupport: {
            List params;
            if (random_.chance(50)) params.text("RESULT", "x");
            command(op, instance, params, "EVENTS-SUPPORT");
            return;
        }
        case kSaveSettings:
        case kLoadSettings:
            return settings_command(op, instance);
        case kOtherCommand: {
            List params;
            int long_names_left = 0;
            const std::string name =
                random_.chance(30) ? std::string("load") : random_.name(long_names_left);
            command(op, instance, params, name.c_str());
            return;
        }
        case kRelease:
            return freeing(instance, [&] { release_instance(plugin_, instance.key); });
        case kIdentify:
            return identify(instance);
        case kFetchLog:
            return fetch_log(instance);
        case kOptionsDialog:
            return options_dialog(instance);
        case kOpCount:
            return;
        }
    }

    Plugin& plugin_;
    LogWindow& window_;
    std::vector<Instance>& instances_;
    Tally& tally_;
    Problems& problems_;
    Generator random_;
    int max_items_;
    int thread_;
    uint64_t seed_;
    uint64_t operation_ = 0;
    std::map<uint32_t, intptr_t> events_;
};

// Settings for one instance: up to eight of the common names, a timeout, the no-reset option.
void write_settings(const std::string& path, Generator& random) {
    static const std::vector<std::string> names = {"a", "b", "c", "Temp", "Hum", "Date", "t", "x"};
    std::ofstream file(path, std::ios::binary);
    file << "[Common]\r\n";
    const uint64_t variables = 1 + random.below(4);
    for (uint64_t i = 0; i < variables; ++i)
        file << "Var" << (i + 1) << "=" << random.pick(names) << "\r\n";
    file << "Timeout=" << random.pick(std::vector<int>{0, 0, 50, 1000}) << "\r\n";
    file << "No reset=" << (random.chance(20) ? "True" : "False") << "\r\n";
}

// The system's OLE string allocator keeps freed strings for reuse (up to thousands, of up to
// 64 KB): in use to a heap walk, they would hide what the module leaves behind. It has a
// switch to stop that, which its debugging aid OANOCACHE also throws.
void stop_string_cache() {
    using Switch = void(WINAPI*)();
    if (HMODULE ole = GetModuleHandleA("oleaut32.dll"))
        if (auto stop = reinterpret_cast<Switch>(
                reinterpret_cast<void*>(GetProcAddress(ole, "SetOaNoCache"))))
            stop();
}

bool parse_options(int argc, char** argv, Options& options) {
    options.seed = uint64_t(GetTickCount64()) ^ (uint64_t(GetCurrentProcessId()) << 32);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
        if (name == "--seed")
            options.seed = value;
        else if (name == "--operations")
            options.operations = value;
        else if (name == "--threads")
            options.threads = int(std::clamp<uint64_t>(value, 1, 64));
        else if (name == "--instances")
            options.instances = int(std::clamp<uint64_t>(value, 1, 1000));
        else if (name == "--rounds")
            options.rounds = int(std::clamp<uint64_t>(value, 1, 1000));
        else if (name == "--max-items")
            options.max_items = int(std::clamp<uint64_t>(value, 1, 1000000));
        else
            return false;
    }
    return argc % 2 == 1;
}

// Every instance unloaded and released, the log window idle: the quiet state whose memory is
// compared with the baseline.
void quiesce(Plugin& plugin, LogWindow& window, std::vector<Instance>& instances) {
    window.set_fetching(false);
    window.drain();
    for (Instance& instance : instances) {
        List params;
        params.text("INI-FILE", instance.ini_file);
        run_command(plugin, instance.key, params, "UNLOAD");
        release_instance(plugin, instance.key);
    }
    window.drain();
}

void run_round(Plugin& plugin, LogWindow& window, std::vector<Instance>& instances,
               const Options& options, uint64_t seed, uint64_t operations, Tally& tally,
               Problems& problems) {
    window.set_fetching(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < options.threads; ++t) {
        const uint64_t share = operations / uint64_t(options.threads) +
                               (uint64_t(t) < operations % uint64_t(options.threads) ? 1 : 0);
        threads.emplace_back([&, t, share] {
            Worker(plugin, window, instances, tally, problems, seed + uint64_t(t),
                   options.max_items, t)
                .run(share);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    quiesce(plugin, window, instances);
}

// The random "INI-FILE" values sent to the module are mostly relative file names, and the module
// writes settings files under them: the run works in a folder of its own, removed at its end.
class WorkingInScratchFolder {
  public:
    WorkingInScratchFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(scratch_.path());
    }
    ~WorkingInScratchFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    WorkingInScratchFolder(const WorkingInScratchFolder&) = delete;
    WorkingInScratchFolder& operator=(const WorkingInScratchFolder&) = delete;

  private:
    kvr::test::TempDir scratch_{"export_fuzz_scratch_"};
    std::filesystem::path previous_;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, options)) {
        std::fprintf(stderr, "usage: export_fuzz.exe [--seed N] [--operations N] [--threads N] "
                             "[--instances N] [--rounds N] [--max-items N]\n");
        return 2;
    }
    g_seed = options.seed;
    SetUnhandledExceptionFilter(&report_crash);
    stop_string_cache();
    std::printf("export_fuzz: seed %llu, %llu operations on %d threads, %d instances, %d rounds, "
                "lists of up to %d items\n",
                (unsigned long long)options.seed, (unsigned long long)options.operations,
                options.threads, options.instances, options.rounds, options.max_items);
    std::fflush(stdout);
    try {
        const WorkingInScratchFolder scratch;
        Plugin plugin(program_folder() + "\\aggregation.dll");
        LogWindow window(plugin);
        Generator setup(options.seed, options.max_items);
        std::vector<Instance> instances(size_t(options.instances));
        const std::string registry_root =
            "Software\\kvr-export-fuzz-" + std::to_string(GetCurrentProcessId());
        for (size_t i = 0; i < instances.size(); ++i) {
            instances[i].key = uint32_t(7001 + i);
            instances[i].ini_file = temp_file("export_fuzz", ".ini");
            instances[i].other_ini_file = temp_file("export_fuzz_other", ".ini");
            instances[i].registry_path = registry_root + "\\" + std::to_string(i);
            write_settings(instances[i].ini_file, setup);
            write_settings(instances[i].other_ini_file, setup);
        }
        Tally tally;
        Problems problems;

        // A warm-up round makes what the module and the system make once; then the baseline.
        run_round(plugin, window, instances, options, options.seed ^ 0x5eed, 200, tally, problems);
        const uint64_t baseline = heap_bytes_in_use();
        const DWORD start = GetTickCount();
        uint64_t done = 0;
        for (int round = 0; round < options.rounds; ++round) {
            const uint64_t operations =
                options.operations / uint64_t(options.rounds) +
                (round == 0 ? options.operations % uint64_t(options.rounds) : 0);
            run_round(plugin, window, instances, options, options.seed + uint64_t(round) * 1000,
                      operations, tally, problems);
            done += operations;
            const uint64_t in_use = heap_bytes_in_use();
            const int64_t growth = int64_t(in_use) - int64_t(baseline);
            std::printf("round %d: %llu operations, heap in use %.3f MB (baseline %.3f MB, "
                        "difference %+lld bytes)\n",
                        round + 1, (unsigned long long)done, double(in_use) / 1048576.0,
                        double(baseline) / 1048576.0, (long long)growth);
            std::fflush(stdout);
            if (growth > int64_t(kHeapTolerance))
                problems.add("memory in use after round " + std::to_string(round + 1) + " is " +
                             std::to_string(growth) + " bytes above the baseline");
        }
        const double seconds = double(GetTickCount() - start) / 1000.0;

        std::printf("%-20s %10s %8s\n", "operation", "calls", "-3");
        for (int op = 0; op < kOpCount; ++op)
            std::printf("%-20s %10llu %8llu\n", kOpNames[size_t(op)],
                        (unsigned long long)tally.calls[size_t(op)].load(),
                        (unsigned long long)tally.minus_three[size_t(op)].load());
        std::printf("records handed back: %llu (%llu checked), log lines: %llu, %.1f s, "
                    "%.0f operations/s\n",
                    (unsigned long long)tally.records.load(),
                    (unsigned long long)tally.records_checked.load(),
                    (unsigned long long)window.lines(), seconds, double(done) / seconds);
        for (const std::string& problem : window.problems())
            problems.add("log: " + problem);

        for (const Instance& instance : instances) {
            DeleteFileA(instance.ini_file.c_str());
            DeleteFileA(instance.other_ini_file.c_str());
        }
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, registry_root.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, registry_root.c_str());
        if (problems.count() > 0) {
            problems.print();
            std::fprintf(stderr, "export_fuzz: %llu problem(s) with seed %llu\n",
                         (unsigned long long)problems.count(), (unsigned long long)options.seed);
            return 1;
        }
        std::printf("export_fuzz: every invariant held (seed %llu)\n",
                    (unsigned long long)options.seed);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "export_fuzz: %s\n", error.what());
        return 2;
    }
    return 0;
}
