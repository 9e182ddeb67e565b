// Streams the same packets through aggregation.dll the way a host does (a call record and the
// ProcessData entry point found with GetProcAddress), through the aggregation engine called
// directly in this process and through a bare join (the floor), all in the same run. Prints
// nanoseconds per item for the three and their ratios, for packets of 4, 64 and 1,024 distinct
// variables, then the memory in use after 10,000 and after 1,000,000 packets through the entry
// point.
//
// Usage: engine_bench.exe [--quick] [--memory-only]   (aggregation.dll lies beside the program)

#include "filter/aggregation_engine.h"
#include "plugin_host.h"

#include <kvr/plugin_abi.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The two variables every benchmark record waits for; every packet carries them, so every
// packet completes one record and the whole packet is copied out.
const std::array<std::string, 8> kVariables = {"v0", "v1"};

struct Library {
    HMODULE module = nullptr;
    kvr_ExecutePluginCommand ExecutePluginCommand = nullptr;
    kvr_ProcessData ProcessData = nullptr;
    kvr_GetModuleType GetModuleType = nullptr;

    explicit Library(const std::string& path) : module(LoadLibraryA(path.c_str())) {
        if (!module) throw std::runtime_error("cannot load " + path);
        resolve("ExecutePluginCommand", ExecutePluginCommand);
        resolve("ProcessData", ProcessData);
        resolve("GetModuleType", GetModuleType);
        if (!ExecutePluginCommand || !ProcessData || !GetModuleType)
            throw std::runtime_error("entry points missing in " + path);
    }
    ~Library() { FreeLibrary(module); }

    template <class F> void resolve(const char* name, F& target) {
        target = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

struct ListOwner {
    kvr_params_list* list;
    explicit ListOwner(int rows = 0) : list(kvr_list_new(rows)) {}
    ~ListOwner() { kvr_list_free(list); }
};

std::string program_folder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, length)).parent_path().string();
}

// The filter's settings in an INI file: v0 and v1, no timeout, reset after each record.
std::string write_settings_file() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path =
        std::string(temp) + "engine_bench_" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::ofstream(path) << "[Common]\r\nVar1=v0\r\nVar2=v1\r\nTimeout=0\r\nNo reset=False\r\n";
    return path;
}

// One instance of the plug-in, loaded with the settings file, released at the end.
class Instance {
  public:
    Instance(Library& library, uint32_t key, const std::string& ini_file)
        : library_(library), key_(key) {
        TPluginCallRec rec = record();
        ListOwner params;
        rec.Params = params.list;
        kvr_list_add_text(params.list, "COMMAND", "LOAD");
        kvr_list_add_text(params.list, "INI-FILE", ini_file.c_str());
        if (library_.ExecutePluginCommand(&rec) < 0) throw std::runtime_error("LOAD failed");
    }
    ~Instance() {
        TPluginCallRec rec = record();
        ListOwner params;
        rec.Params = params.list;
        kvr_list_add_text(params.list, "COMMAND", "UNLOAD");
        library_.ExecutePluginCommand(&rec);
        rec.CallMode = KVR_CALLMODE_RELEASE;
        library_.GetModuleType(&rec);
    }
    // Hands one packet to the filter as a host does; answers the number of items handed on.
    int32_t process(kvr_params_list* packet) {
        TPluginCallRec rec = record();
        rec.Params = params_.list;
        rec.ModuleTypes = KVR_MTT_FILTER;
        rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
        rec.Data = packet;
        library_.ProcessData(&rec);
        if (rec.ResultKind != KVR_RESULTKIND_ROWS_LIST) return 0;
        return reinterpret_cast<const kvr_params_list*>(rec.ResultValue)->Count;
    }

  private:
    TPluginCallRec record() const {
        TPluginCallRec rec{};
        rec.Signature = KVR_CALL_SIGNATURE;
        rec.InstanceKey = key_;
        rec.ModuleId = 1;
        return rec;
    }
    Library& library_;
    uint32_t key_;
    ListOwner params_;
};

ListOwner make_packet(int variables) {
    ListOwner packet;
    for (int i = 0; i < variables; ++i)
        kvr_list_add_double(packet.list, ("v" + std::to_string(i)).c_str(), 20.0 + i * 0.5);
    return packet;
}

// The floor: the simplest correct join of the same stream in plain C++. A hash map from the
// lower-case name to the held value, the same completion rule (every variable seen with a
// value that is neither empty nor null, checked at row ends and at the last item), the record
// copied out with a row end, and a reset after it.
class BareJoin {
  public:
    explicit BareJoin(const std::array<std::string, 8>& variables) {
        for (const std::string& name : variables)
            if (!name.empty()) seen_.emplace(lower(name), false);
    }

    // Answers the number of items handed on, the row end included.
    int64_t process(const kvr_params_list* packet) {
        record_.clear();
        for (int32_t i = 0; i < packet->Count; ++i) {
            const kvr_params_list_item* item = packet->Items[i];
            const std::string name(item->Name, size_t(kvr_ansi_length(item->Name)));
            const bool row_end = name == KVR_ROW_SEPARATOR;
            if (!row_end) {
                const std::string key = lower(name);
                const bool has_value = !kvr_variant_is_empty_or_null(&item->Value);
                const auto variable = seen_.find(key);
                if (variable != seen_.end() && has_value && !variable->second) {
                    variable->second = true;
                    ++seen_count_;
                }
                if (variable == seen_.end() || has_value) {
                    const auto [at, added] = index_.try_emplace(key, held_.size());
                    if (added)
                        held_.emplace_back(name, item->Value);
                    else
                        held_[at->second].second = item->Value;
                }
            }
            if ((row_end || i == packet->Count - 1) && seen_count_ == seen_.size()) {
                record_ = held_;
                record_.emplace_back(KVR_ROW_SEPARATOR, VARIANT{});
                held_.clear();
                index_.clear();
                for (auto& [key, seen] : seen_)
                    seen = false;
                seen_count_ = 0;
                break;
            }
        }
        return int64_t(record_.size());
    }

  private:
    static std::string lower(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return text;
    }

    std::unordered_map<std::string, bool> seen_;
    size_t seen_count_ = 0;
    std::unordered_map<std::string, size_t> index_;
    std::vector<std::pair<std::string, VARIANT>> held_, record_;
};

double seconds_of(const std::function<int64_t()>& run, int64_t& checksum) {
    const auto start = Clock::now();
    checksum += run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timing {
    double entry_ns = 0;
    double direct_ns = 0;
    double floor_ns = 0;
};

// Best of three alternating runs of each path.
Timing compare(Instance& instance, int variables, int packets) {
    ListOwner packet = make_packet(variables);
    kvr::AggregationEngine engine;
    engine.ApplySettings(kVariables, 0.0, false);
    kvr::ParamsListPtr output = kvr::make_params_list(true);

    const auto entry = [&] {
        int64_t handed_on = 0;
        for (int i = 0; i < packets; ++i)
            handed_on += instance.process(packet.list);
        return handed_on;
    };
    const auto direct = [&] {
        int64_t handed_on = 0;
        for (int i = 0; i < packets; ++i) {
            engine.ProcessPacket(packet.list, GetTickCount(), *output);
            handed_on += output->GetCount();
        }
        return handed_on;
    };
    BareJoin join(kVariables);
    const auto bare = [&] {
        int64_t handed_on = 0;
        for (int i = 0; i < packets; ++i)
            handed_on += join.process(packet.list);
        return handed_on;
    };
    double best_entry = 1e300, best_direct = 1e300, best_floor = 1e300;
    int64_t entry_items = 0, direct_items = 0, floor_items = 0;
    entry();
    direct();
    bare(); // warm up all three
    for (int round = 0; round < 3; ++round) {
        best_entry = std::min(best_entry, seconds_of(entry, entry_items));
        best_direct = std::min(best_direct, seconds_of(direct, direct_items));
        best_floor = std::min(best_floor, seconds_of(bare, floor_items));
    }
    if (entry_items != direct_items || entry_items != floor_items ||
        entry_items != int64_t(3) * packets * (variables + 1))
        throw std::runtime_error("the three paths handed on different records");
    return {best_entry * 1e9 / packets, best_direct * 1e9 / packets, best_floor * 1e9 / packets};
}

// Bytes allocated and not freed in every heap of the process (the parameter lists live in the
// process heap, the C++ objects in the C runtime's heap). Counted by walking the heaps, so it
// does not depend on what the system reports of its page use.
double heap_megabytes_in_use() {
    return double(stress::heap_bytes_in_use()) / (1024.0 * 1024.0);
}

// What the system reports as the process's private bytes (0 where it reports nothing).
double private_megabytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return double(counters.PrivateUsage) / (1024.0 * 1024.0);
}

// The three paths for packets of 4, 64 and 1,024 variables, as a table.
void compare_paths(Instance& instance, bool quick) {
    std::printf("%-9s %8s %13s %14s %13s %12s %13s %13s\n", "variables", "packets", "entry ns/item",
                "direct ns/item", "floor ns/item", "entry/floor", "direct/floor", "entry/direct");
    double per_item_64 = 0, per_item_1024 = 0;
    for (const int variables : {4, 64, 1024}) {
        const int packets = (quick ? 20000 : 200000) / (variables < 64 ? 1 : variables / 4);
        const Timing t = compare(instance, variables, packets);
        const double per_item = t.entry_ns / variables;
        if (variables == 64) per_item_64 = per_item;
        if (variables == 1024) per_item_1024 = per_item;
        std::printf("%-9d %8d %13.1f %14.1f %13.1f %12.2f %13.2f %13.2f\n", variables, packets,
                    per_item, t.direct_ns / variables, t.floor_ns / variables,
                    t.entry_ns / t.floor_ns, t.direct_ns / t.floor_ns, t.entry_ns / t.direct_ns);
    }
    std::printf("entry-path cost per item, 1024 against 64 variables: %.2f\n",
                per_item_1024 / per_item_64);
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false, memory_only = false;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        memory_only = memory_only || std::strcmp(argv[i], "--memory-only") == 0;
    }
    try {
        Library library(program_folder() + "\\aggregation.dll");
        const std::string settings = write_settings_file();
        {
            Instance instance(library, 1, settings);
            if (!memory_only) compare_paths(instance, quick);

            ListOwner packet = make_packet(4);
            const int total = quick ? 100000 : 1000000;
            double heap_10k = 0, private_10k = 0;
            for (int i = 1; i <= total; ++i) {
                instance.process(packet.list);
                if (i == 10000) {
                    heap_10k = heap_megabytes_in_use();
                    private_10k = private_megabytes();
                }
            }
            const double heap_all = heap_megabytes_in_use(), private_all = private_megabytes();
            std::printf("heap bytes in use: %.3f MB after 10000 packets, %.3f MB after %d "
                        "packets (difference %.3f MB)\n",
                        heap_10k, heap_all, total, heap_all - heap_10k);
            std::printf("private bytes reported: %.2f MB after 10000, %.2f MB after %d\n",
                        private_10k, private_all, total);
        }
        DeleteFileA(settings.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "engine_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
