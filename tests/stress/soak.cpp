// A long run of aggregation.dll as a busy host uses it: threads stream packets into shared
// instances (two threads per instance), and now and then send commands, fetch the log and save
// or reload the settings. It reports, every --report seconds and at the end, the packets per
// second, the records, and the heap bytes in use, counted while every thread waits between two
// calls (so a settings file's read buffer in flight does not count). It checks that the memory
// in use stays flat after the warm-up (its largest and smallest sample within 1 MB), that no
// thread stops making progress (a deadlock: a call that has not returned after a minute), that
// every record is well formed, and, once every instance is unloaded and released, that the
// memory in use is back at the baseline measured before the run.
//
// Usage: soak.exe [--seconds N] [--threads N] [--instances N] [--report N] [--warm-up N]
// (defaults: 600 s, 8 threads, 4 instances, a report every 30 s, 60 s of warm-up).
// Exit status 1 when a check failed.

#include "plugin_host.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace stress;

namespace {

constexpr uint64_t kFlatBytes = 1024 * 1024;    // largest minus smallest sample after warm-up
constexpr uint64_t kBaselineBytes = 256 * 1024; // after release, against the start
constexpr DWORD kStalledMs = 60000;             // a thread without progress this long

struct Options {
    int seconds = 600;
    int threads = 8;
    int instances = 4;
    int report = 30;
    int warm_up = 60;
};

struct Stream {
    std::atomic<uint64_t> packets{0};
    std::atomic<uint64_t> records{0};
    std::atomic<uint64_t> commands{0};
    std::atomic<uint64_t> saves{0};
    std::atomic<uint64_t> failures{0};
    std::atomic<DWORD> last_progress{0};
};

std::atomic<uint64_t> g_bad_records{0};

// Where the streaming threads wait, between two calls, while the heap is counted.
class Gate {
  public:
    // Called by a streaming thread between calls: waits while the gate is closed.
    void pass() {
        if (!closed_) return;
        ++waiting_;
        {
            std::unique_lock lock(guard_);
            opened_.wait(lock, [&] { return !closed_; });
        }
        --waiting_;
    }
    // Closes the gate; false when not every thread has come to it within the time limit.
    bool close(int threads, DWORD limit_ms) {
        closed_ = true;
        const DWORD start = GetTickCount();
        while (waiting_ != threads) {
            if (GetTickCount() - start > limit_ms) return false;
            Sleep(1);
        }
        return true;
    }
    void open() {
        {
            std::lock_guard lock(guard_);
            closed_ = false;
        }
        opened_.notify_all();
    }

  private:
    std::mutex guard_;
    std::condition_variable opened_;
    std::atomic<bool> closed_{false};
    std::atomic<int> waiting_{0};
};

// One weather-station-like packet: a few of Temp, Hum, Wind and a time stamp, sometimes as
// two rows of a rows list.
kvr_params_list* packet(std::mt19937& random, uint64_t n) {
    static const char* const names[] = {"Temp", "Hum", "Wind", "Rain"};
    kvr_params_list* list = kvr_list_new(random() % 8 == 0);
    const int items = 1 + int(random() % 3);
    for (int i = 0; i < items; ++i)
        kvr_list_add_double(list, names[random() % 4], double(random() % 1000) / 10.0);
    kvr_list_add_text(list, "Time", std::to_string(n).c_str());
    if (kvr_list_is_rows(list)) {
        kvr_list_add_null(list, KVR_ROW_SEPARATOR);
        kvr_list_add_double(list, names[random() % 4], 1.5);
    }
    return list;
}

void stream(Plugin& plugin, uint32_t key, const std::string& ini_file, Stream& progress,
            const std::atomic<bool>& stop, Gate& gate, unsigned seed) {
    std::mt19937 random(seed);
    for (uint64_t n = 0; !stop; ++n) {
        gate.pass();
        kvr_params_list* data = packet(random, n);
        List params;
        TPluginCallRec rec = record(key, params.get());
        rec.ModuleTypes = KVR_MTT_FILTER;
        rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
        rec.Data = data;
        if (plugin.ProcessData(&rec) < 0) ++progress.failures;
        if (rec.ResultKind == KVR_RESULTKIND_ROWS_LIST) {
            ++progress.records;
            if (n % 64 == 0 &&
                !rows_list_problem(reinterpret_cast<const kvr_params_list*>(rec.ResultValue))
                     .empty())
                ++g_bad_records;
        }
        kvr_list_free(data);
        ++progress.packets;
        progress.last_progress = GetTickCount();

        if (n % 500 == 250) {
            List command;
            const uint32_t which = random() % 4;
            if (which == 0) {
                command.integer("RESULT", 1);
                rec = record(key, command.get());
                rec.ModuleTypes = KVR_MTT_FILTER;
                command.text("COMMAND", "SET-STATE");
                plugin.ExecutePluginCommand(&rec);
            } else if (which == 1) {
                command.text("RESULT", "");
                run_command(plugin, key, command, "ITEMS");
            } else if (which == 2) {
                command.text("EVENT-TYPE", "TICK");
                run_command(plugin, key, command, "EVENT");
            } else {
                command.text("RESULT", "not a number"); // fails, and queues a log line
                run_command(plugin, key, command, "SET-STATE");
            }
            ++progress.commands;
        }
        if (n % 4000 == 2000) {
            List command;
            command.text("INI-FILE", ini_file);
            run_command(plugin, key, command,
                        random() % 2 ? "SAVE-SETTINGS-NOW" : "LOAD-SETTINGS-NOW");
            ++progress.saves;
        }
    }
}

struct Run {
    Plugin& plugin;
    LogWindow& window;
    std::vector<std::string> ini_files;
    std::vector<uint32_t> keys;

    void load_all() {
        for (size_t i = 0; i < keys.size(); ++i) {
            List params;
            params.handle("MessagesProcessorHandle", window.handle());
            params.text("INI-FILE", ini_files[i]);
            if (run_command(plugin, keys[i], params, "LOAD") != 0)
                throw std::runtime_error("LOAD failed");
        }
    }
    void release_all() {
        window.set_fetching(false);
        window.drain();
        for (size_t i = 0; i < keys.size(); ++i) {
            List params;
            params.text("INI-FILE", ini_files[i]);
            run_command(plugin, keys[i], params, "UNLOAD");
            release_instance(plugin, keys[i]);
        }
        window.drain();
        window.set_fetching(true);
    }
};

bool parse_options(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (name == "--seconds")
            options.seconds = value;
        else if (name == "--threads")
            options.threads = std::min(value, 64);
        else if (name == "--instances")
            options.instances = value;
        else if (name == "--report")
            options.report = value;
        else if (name == "--warm-up")
            options.warm_up = value;
        else
            return false;
    }
    return argc % 2 == 1;
}

double megabytes(uint64_t bytes) {
    return double(bytes) / 1048576.0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, options)) {
        std::fprintf(stderr, "usage: soak.exe [--seconds N] [--threads N] [--instances N] "
                             "[--report N] [--warm-up N]\n");
        return 2;
    }
    options.warm_up = std::min(options.warm_up, options.seconds / 2);
    try {
        Plugin plugin(program_folder() + "\\aggregation.dll");
        LogWindow window(plugin);
        Run run{plugin, window, {}, {}};
        for (int i = 0; i < options.instances; ++i) {
            run.keys.push_back(uint32_t(9001 + i));
            run.ini_files.push_back(temp_file("soak", ".ini"));
            std::ofstream(run.ini_files.back(), std::ios::binary)
                << "[Common]\r\nVar1=Temp\r\nVar2=Hum\r\nVar3=Wind\r\nTimeout=0\r\n";
        }
        std::vector<Stream> streams(size_t(options.threads));
        std::atomic<bool> stop{false};
        Gate gate;
        auto start_streams = [&](std::vector<std::thread>& threads) {
            for (int t = 0; t < options.threads; ++t) {
                const size_t instance = size_t(t) % run.keys.size();
                streams[size_t(t)].last_progress = GetTickCount();
                threads.emplace_back([&, t, instance] {
                    stream(plugin, run.keys[instance], run.ini_files[instance], streams[size_t(t)],
                           stop, gate, unsigned(t + 1));
                });
            }
        };
        auto join = [&](std::vector<std::thread>& threads) {
            stop = true;
            for (std::thread& thread : threads)
                thread.join();
            threads.clear();
            stop = false;
        };

        // A short run first makes what the module and the system make once.
        std::vector<std::thread> threads;
        run.load_all();
        start_streams(threads);
        Sleep(2000);
        join(threads);
        run.release_all();
        const uint64_t baseline = heap_bytes_in_use();
        for (Stream& s : streams)
            s.packets = s.records = s.commands = s.saves = s.failures = 0;

        std::printf("soak: %d s, %d threads on %d instances, baseline heap %.3f MB\n",
                    options.seconds, options.threads, options.instances, megabytes(baseline));
        std::printf("%8s %12s %10s %12s %10s %12s\n", "seconds", "packets", "packets/s", "records",
                    "commands", "heap MB");
        std::fflush(stdout);
        run.load_all();
        const DWORD start = GetTickCount();
        start_streams(threads);

        uint64_t largest = 0, smallest = UINT64_MAX, last_packets = 0;
        DWORD last_report = start;
        bool stalled = false;
        while (GetTickCount() - start < DWORD(options.seconds) * 1000 && !stalled) {
            Sleep(1000);
            DWORD now = GetTickCount();
            if (now - last_report < DWORD(options.report) * 1000) continue;
            if (!gate.close(options.threads, kStalledMs)) {
                for (size_t t = 0; t < streams.size(); ++t)
                    if (GetTickCount() - streams[t].last_progress > kStalledMs)
                        std::fprintf(stderr,
                                     "soak: thread %zu has been in one call for over %lu "
                                     "s: deadlock\n",
                                     t, (unsigned long)(kStalledMs / 1000));
                stalled = true;
                break;
            }
            const uint64_t heap = heap_bytes_in_use();
            gate.open();
            now = GetTickCount();
            uint64_t packets = 0, records = 0, commands = 0;
            for (const Stream& s : streams) {
                packets += s.packets;
                records += s.records;
                commands += s.commands + s.saves;
            }
            if (now - start >= DWORD(options.warm_up) * 1000) {
                largest = std::max(largest, heap);
                smallest = std::min(smallest, heap);
            }
            std::printf("%8.0f %12llu %10.0f %12llu %10llu %12.3f\n", (now - start) / 1000.0,
                        (unsigned long long)packets,
                        double(packets - last_packets) * 1000.0 / double(now - last_report),
                        (unsigned long long)records, (unsigned long long)commands, megabytes(heap));
            std::fflush(stdout);
            last_packets = packets;
            last_report = now;
        }
        if (stalled) {
            std::fflush(stderr);
            ExitProcess(1); // the stalled threads would never join
        }
        join(threads);
        const double seconds = (GetTickCount() - start) / 1000.0;
        uint64_t packets = 0, records = 0, commands = 0, saves = 0, failures = 0;
        for (const Stream& s : streams) {
            packets += s.packets;
            records += s.records;
            commands += s.commands;
            saves += s.saves;
            failures += s.failures;
        }
        run.release_all();
        const uint64_t final_heap = heap_bytes_in_use();
        for (const std::string& file : run.ini_files)
            DeleteFileA(file.c_str());

        bool ok = true;
        std::printf("soak: %llu packets in %.0f s, %.0f packets/s; %llu records, %llu commands, "
                    "%llu settings saves or loads, %llu failed data calls\n",
                    (unsigned long long)packets, seconds, double(packets) / seconds,
                    (unsigned long long)records, (unsigned long long)commands,
                    (unsigned long long)saves, (unsigned long long)failures);
        if (largest > 0) {
            const uint64_t spread = largest - smallest;
            std::printf("soak: heap in use after the warm-up: largest %.3f MB, smallest %.3f MB, "
                        "spread %.3f MB (%s)\n",
                        megabytes(largest), megabytes(smallest), megabytes(spread),
                        spread <= kFlatBytes ? "flat" : "GROWING");
            ok = ok && spread <= kFlatBytes;
        }
        const int64_t left = int64_t(final_heap) - int64_t(baseline);
        std::printf("soak: after UNLOAD and release %.3f MB in use, %+lld bytes against the "
                    "baseline (%s)\n",
                    megabytes(final_heap), (long long)left,
                    left <= int64_t(kBaselineBytes) ? "ok" : "LEAK");
        ok = ok && left <= int64_t(kBaselineBytes);
        if (g_bad_records > 0 || failures > 0 || !window.problems().empty()) {
            std::printf("soak: %llu malformed records, %llu failed data calls, %zu log problems\n",
                        (unsigned long long)g_bad_records.load(), (unsigned long long)failures,
                        window.problems().size());
            for (const std::string& problem : window.problems())
                std::printf("  %s\n", problem.c_str());
            ok = false;
        }
        std::printf("soak: %s; no deadlock, %llu log lines checked\n", ok ? "passed" : "FAILED",
                    (unsigned long long)window.lines());
        return ok ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soak: %s\n", error.what());
        return 2;
    }
}
