#include "run_command.h"

#include "host_paths.h"
#include "host_window.h"
#include "input_source.h"
#include "list_values.h"
#include "module_commands.h"
#include "plugin_library.h"
#include "registry_settings.h"

#include "common/win32_handle.h"
#include "kvrhost/core/buffered_output.h"
#include "kvrhost/core/clock_pacer.h"
#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/parser_items.h"
#include "kvrhost/core/record_output.h"
#include "kvrhost/core/run_report.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace kvrhost {

namespace {

using Clock = std::chrono::steady_clock;

// A fresh, empty file in the temporary folder, deleted with this object.
class TemporaryIniFile {
  public:
    TemporaryIniFile() {
        char folder[MAX_PATH + 1];
        const DWORD length = GetTempPathA(sizeof folder, folder);
        if (length == 0 || length > MAX_PATH) kvr::throw_last_error("GetTempPathA");
        char path[MAX_PATH + 1];
        if (!GetTempFileNameA(folder, "kvr", 0, path)) kvr::throw_last_error("GetTempFileNameA");
        path_ = path;
    }
    ~TemporaryIniFile() { DeleteFileA(path_.c_str()); }
    TemporaryIniFile(const TemporaryIniFile&) = delete;
    TemporaryIniFile& operator=(const TemporaryIniFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// One module instance from LOAD to its release. Whatever happens after load() was called, the
// destructor sends UNLOAD (with the same INI file, so that the module does not take a changed
// location for a new one), releases the instance and announces the library's unload.
class ModuleSession {
  public:
    ModuleSession(PluginLibrary& library, HostWindow& window, std::uint32_t key,
                  TextValues location)
        : library_(library), window_(window), key_(key), location_(std::move(location)),
          data_call_(key) {
        window_.on_reload_request = [this](std::uint32_t) { reload_settings(); };
    }

    ~ModuleSession() {
        try {
            finish();
        } catch (...) {
            // Out of memory on the way out: the process ends anyway.
        }
        window_.on_reload_request = nullptr;
    }
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    void load() {
        load_sent_ = true;
        if (const std::int32_t result = command("LOAD", location_); result != 0)
            throw RunError("the module answered LOAD with " + std::to_string(result));
    }

    // UNLOAD, the release of the instance and the library-unload notice; once.
    void finish() {
        if (!load_sent_ || finished_) return;
        finished_ = true;
        command("UNLOAD", ini_file_value());
        window_.fetch_queued_lines();
        notify(KVR_CALLMODE_RELEASE);
        notify(KVR_CALLMODE_LIBRARY_UNLOAD);
    }

    void set_items(const std::string& items) {
        if (const std::int32_t result = command("SET-ITEMS", {}, &items); result != 0)
            throw RunError("the module answered SET-ITEMS with " + std::to_string(result));
    }

    // Hands one packet to the module with the filter role. Answers the module's result code;
    // `rows` is the module's rows list (read it before the next call) or null. The host
    // window's messages are the caller's to run.
    std::int32_t process(kvr_params_list& packet, const kvr_params_list*& rows) {
        TPluginCallRec& record = data_call_.record;
        record.ModuleTypes = KVR_MTT_FILTER;
        record.DataKind = KVR_DATAKIND_PARAMS_LIST;
        record.Data = &packet;
        record.BufferSize = 0;
        record.ResultKind = KVR_RESULTKIND_NONE;
        record.ResultValue = 0;
        const std::int32_t result = library_.ProcessData(&record);
        rows = nullptr;
        if (record.ResultKind == KVR_RESULTKIND_ROWS_LIST && record.ResultValue != 0)
            rows = reinterpret_cast<const kvr_params_list*>(record.ResultValue);
        return result;
    }

  private:
    TextValues ini_file_value() const {
        TextValues values;
        for (const auto& value : location_)
            if (value.first == "INI-FILE") values.push_back(value);
        return values;
    }

    // The module asks, through its host, to reload its settings on this thread.
    void reload_settings() noexcept {
        try {
            command("LOAD-SETTINGS-NOW", ini_file_value());
        } catch (...) {
            // Out of memory inside a window message: the request is dropped.
        }
    }

    std::int32_t command(const char* name, const TextValues& values,
                         const std::string* items = nullptr) {
        return commands_.command(name, values, items);
    }

    void notify(std::uint8_t call_mode) { commands_.notify(call_mode); }

    PluginLibrary& library_;
    HostWindow& window_;
    std::uint32_t key_;
    ModuleCommands commands_{library_, window_, key_};
    TextValues location_;
    HostCall data_call_; // its empty list is the Params of every data call
    bool load_sent_ = false;
    bool finished_ = false;
};

// The progress line on a terminal, rewritten in place about once a second.
class ProgressLine {
  public:
    ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}

    void update(const RunCounts& counts) {
        if (!enabled_ || Clock::now() - shown_ < std::chrono::seconds(1)) return;
        const std::string text = progress_text(counts);
        err_ << '\r' << text << std::string(width_ > text.size() ? width_ - text.size() : 0, ' ')
             << std::flush;
        width_ = text.size();
        shown_ = Clock::now();
    }
    // Clears the line before other text is written.
    void clear() {
        if (width_ == 0) return;
        err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
        width_ = 0;
    }

  private:
    std::ostream& err_;
    bool enabled_;
    std::size_t width_ = 0;
    Clock::time_point shown_ = Clock::now();
};

// The items to announce with SET-ITEMS, or nothing when none were asked for.
std::optional<std::vector<ParserItem>> parser_items(const RunOptions& options, std::ostream& err) {
    if (!options.items_file.empty()) {
        std::ifstream in(host_path(options.items_file), std::ios::binary);
        if (!in) throw RunError("cannot open the items file " + options.items_file);
        return read_items_file(in, options.items_file);
    }
    if (!options.items_from_stream) return std::nullopt;
    std::ifstream in(host_path(options.input), std::ios::binary);
    if (!in) throw RunError("cannot open " + options.input);
    std::vector<std::string> unusable;
    std::vector<ParserItem> items = items_from_stream(in, unusable);
    for (const std::string& name : unusable)
        err << "kvrhost: the name \"" << name << "\" cannot be announced as a parser item\n";
    return items;
}

// Writes the settings where LOAD will point the module and answers the location values.
TextValues settings_location(const RunOptions& options,
                             std::unique_ptr<TemporaryIniFile>& temporary) {
    const std::optional<FilterSettings> settings = options.filter_settings();
    std::string ini_file = options.ini_file.empty() ? std::string() : host_path(options.ini_file);
    if (settings && ini_file.empty() && options.registry_path.empty()) {
        temporary = std::make_unique<TemporaryIniFile>();
        ini_file = temporary->path();
    }
    if (settings) {
        if (!options.registry_path.empty())
            write_settings_registry(options.registry_path, *settings);
        else
            write_settings_ini(ini_file, options.section_prefix.value_or(""), *settings);
    }
    TextValues location;
    if (!options.registry_path.empty())
        location.emplace_back("RegistryPath", options.registry_path);
    if (options.section_prefix) location.emplace_back("INISectionPrefix", *options.section_prefix);
    if (!ini_file.empty()) location.emplace_back("INI-FILE", ini_file);
    return location;
}

// Sleeps until `until`, running the host window's messages meanwhile; what was written goes
// out first.
void wait_until(Clock::time_point until, HostWindow& window, std::ostream& out) {
    if (Clock::now() < until) out.flush();
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
        window.pump();
    }
}

// The input as the run reads it: the records written so far go out before each read, since a
// live source may keep the read waiting.
class FlushingSource final : public ByteSource {
  public:
    FlushingSource(ByteSource& source, std::ostream& out) : source_(source), out_(out) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        out_.flush();
        return source_.read(buffer, capacity);
    }

  private:
    ByteSource& source_;
    std::ostream& out_;
};

// Reads every line of the input and hands each packet to the module. The storage of a line,
// its packet, the list handed over and the records read back is kept from packet to packet.
class PacketRun {
  public:
    PacketRun(const RunOptions& options, ModuleSession& module, HostWindow& window,
              BufferedOutput& out, std::ostream& err, bool progress)
        : options_(options), module_(module), window_(window), out_(out), err_(err),
          label_(options.reads_standard_input() ? "stdin" : options.input),
          progress_(err, progress), plain_list_(new_list(false)), rows_list_(new_list(true)) {
        if (options.csv)
            writer_ = std::make_unique<CsvWriter>(out);
        else
            writer_ = std::make_unique<JsonLinesWriter>(out);
    }

    RunCounts run(ByteSource& source) {
        const Clock::time_point start = Clock::now();
        FlushingSource input(source, out_);
        LineReader reader(input);
        InputLine line;
        while (reader.next(line)) {
            handle(line);
            const Clock::time_point now = Clock::now();
            out_.flush_if_due(now);
            pump_if_due(now);
            progress_.update(counts_);
        }
        out_.flush();
        window_.pump(); // whatever the module posted last is printed before the summary
        progress_.clear();
        counts_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return counts_;
    }

  private:
    // The module's notifications wait in the window's queue. Looking there costs a trip to
    // the window system, so it is done every 10 ms or every 1,000 packets, not per packet.
    void pump_if_due(Clock::time_point now) {
        if (++packets_since_pump_ < 1000 && now - last_pump_ < std::chrono::milliseconds(10))
            return;
        window_.pump();
        packets_since_pump_ = 0;
        last_pump_ = now;
    }

    void handle(const InputLine& line) {
        packet_from_line(line, outcome_);
        if (!outcome_.packet) {
            if (!outcome_.error.empty()) skip(line.number, outcome_.error);
            return;
        }
        const Packet& packet = *outcome_.packet;
        kvr_params_list& list = packet.several_rows ? *rows_list_ : *plain_list_;
        if (const auto problem = fill_packet_list(packet, list)) return skip(line.number, *problem);

        std::optional<double> stamp;
        Clock::time_point sent;
        if (!options_.clock_field.empty()) {
            stamp = number_field(packet, options_.clock_field);
            if (stamp)
                wait_until(Clock::now() + pacer_.wait_before(*stamp, Clock::now()), window_, out_);
            else
                ++counts_.unstamped;
            sent = Clock::now();
        }
        const kvr_params_list* rows = nullptr;
        const std::int32_t result = module_.process(list, rows);
        ++counts_.packets;
        if (stamp) pacer_.sent(*stamp, sent);
        if (result < 0) fail(line.number, "the module answered " + std::to_string(result));
        if (rows && !kvr_list_is_alive(rows))
            fail(line.number, "the module handed back a rows list that is not alive");
        else if (rows)
            write_records(line.number, *rows);
        empty_list(list);
    }

    void write_records(std::size_t line, const kvr_params_list& rows) {
        list_items(rows, items_);
        for_each_record(items_, [&](std::span<const NamedValue> record) {
            const std::vector<std::string> unwritten = writer_->write(record);
            ++counts_.records;
            counts_.unwritten += unwritten.size();
            for (const std::string& name : unwritten)
                if (unwritten_names_.add(name))
                    report(line, "the value of \"" + name +
                                     "\" has no CSV column (the header came from the first "
                                     "record) and is left out, here and in later records");
        });
    }

    void skip(std::size_t line, const std::string& reason) {
        ++counts_.skipped;
        report(line, reason + "; packet skipped");
    }
    void fail(std::size_t line, const std::string& reason) {
        ++counts_.failed;
        report(line, reason);
    }
    void report(std::size_t line, const std::string& text) {
        progress_.clear();
        err_ << line_problem(label_, line, text) << '\n' << std::flush;
    }

    const RunOptions& options_;
    ModuleSession& module_;
    HostWindow& window_;
    BufferedOutput& out_;
    std::ostream& err_;
    std::string label_;
    ProgressLine progress_;
    std::unique_ptr<RecordWriter> writer_;
    ClockPacer pacer_;
    SeenNames unwritten_names_;
    RunCounts counts_;
    PacketOutcome outcome_;
    OwnedList plain_list_; // the packet of one row goes in this one,
    OwnedList rows_list_;  // a packet of several rows in this one
    std::vector<NamedValue> items_;
    std::size_t packets_since_pump_ = 0;
    Clock::time_point last_pump_ = Clock::now();
};

} // namespace

int run_packets(const RunOptions& options, std::istream& standard_input, std::ostream& out,
                std::ostream& err, bool progress) {
    StreamSource source(standard_input);
    return run_packets(options, source, out, err, progress);
}

int run_packets(const RunOptions& options, ByteSource& standard_input, std::ostream& out,
                std::ostream& err, bool progress) {
    if (const auto problem = options_problem(options)) throw RunError(*problem);
    const std::optional<std::vector<ParserItem>> items = parser_items(options, err);

    std::optional<HandleSource> file;
    if (!options.reads_standard_input()) {
        try {
            file.emplace(HandleSource::open_file(host_path(options.input)));
        } catch (const std::runtime_error&) {
            throw RunError("cannot open " + options.input);
        }
    }
    ByteSource& in = file ? static_cast<ByteSource&>(*file) : standard_input;

    std::unique_ptr<TemporaryIniFile> temporary; // outlives the module that reads it
    const TextValues location = settings_location(options, temporary);

    PluginLibrary library(host_path(options.plugin));
    HostWindow window(library, options.key, err);
    ModuleSession module(library, window, options.key, location);
    module.load();
    if (items) module.set_items(items_text(*items));

    BufferedOutput buffered(out);
    PacketRun packets(options, module, window, buffered, err, progress);
    const RunCounts counts = packets.run(in);
    module.finish();
    err << summary_text(counts, !options.clock_field.empty()) << '\n' << std::flush;
    return counts.clean() ? 0 : 1;
}

} // namespace kvrhost
