// The whole run against the aggregation module that lies beside this program.

#include "kvrhost/run_command.h"

#include "settings/big_ini_file.h"
#include "temp_dir.h"

#include <kvr/plugin_abi.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <sstream>

using namespace kvrhost;

namespace {

std::string plugin_path() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "aggregation.dll";
}

// Points the process's temporary folder (TMP and TEMP) at a private folder for a
// test's lifetime, so programs running beside it cannot change what it counts.
class PrivateTemporaryFolder {
  public:
    PrivateTemporaryFolder() : saved_tmp_(read("TMP")), saved_temp_(read("TEMP")) {
        SetEnvironmentVariableA("TMP", folder_.path().string().c_str());
        SetEnvironmentVariableA("TEMP", folder_.path().string().c_str());
    }
    ~PrivateTemporaryFolder() {
        restore("TMP", saved_tmp_);
        restore("TEMP", saved_temp_);
    }
    PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
    PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;

    std::string listing() const { return folder_.listing(); }

  private:
    static std::optional<std::string> read(const char* name) {
        char value[MAX_PATH + 1];
        const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
        if (length == 0 || length > MAX_PATH) return std::nullopt;
        return std::string(value, length);
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
    }

    kvr::test::TempDir folder_;
    std::optional<std::string> saved_tmp_;
    std::optional<std::string> saved_temp_;
};

struct RunResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

RunResult run(RunOptions options, const std::string& standard_input = {}) {
    options.plugin = plugin_path();
    std::istringstream in(standard_input);
    std::ostringstream out, err;
    RunResult result;
    result.exit_code = run_packets(options, in, out, err, false);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// Two packets that complete a record, among lines the host refuses.
const char* const kMixedStream = "{\"Temp\":20.5,\"Date\":\"d1\"}\n"
                                 "{\"Temp\":\n"
                                 "\n"
                                 "[{\"Hum\":40},{\"Temp\":1}]\n"
                                 "{\"pos\":{\"x\":1}}\n"
                                 "{\"Temp\":2}";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(RunCommand, BadLinesAreReportedAndSkippedWhileTheOthersGoThrough) {
    kvr::test::TempDir dir;
    kvr::test::write_bytes(dir.file("packets.jsonl"), kMixedStream);
    RunOptions options;
    options.input = dir.file("packets.jsonl");
    options.variables = {"Temp", "Hum"};
    options.timeout_ms = 60000;
    options.ini_file = dir.file("settings.ini");
    options.section_prefix = "Filter1";
    options.items_from_stream = true;

    const RunResult result = run(options);
    EXPECT_EQ(1, result.exit_code) << result.err;
    EXPECT_TRUE(contains(result.err, options.input + ":2: malformed JSON at column "))
        << result.err;
    EXPECT_TRUE(contains(result.err, options.input + ":5: the value of \"pos\" is an object"))
        << result.err;
    EXPECT_TRUE(
        contains(result.err, options.input + ":6: the stream ended in the middle of a line"))
        << result.err;
    EXPECT_FALSE(contains(result.err, ":3:")) << "an empty line is no error";
    EXPECT_TRUE(contains(result.err, "kvrhost: 2 packets, ")) << result.err;
    EXPECT_TRUE(contains(result.err, " records, 3 skipped, 0 failed")) << result.err;

    const kvr::TBigIniFile ini(options.ini_file);
    EXPECT_EQ("Temp", ini.ReadString("Filter1.Common", "Var1", ""));
    EXPECT_EQ("Hum", ini.ReadString("Filter1.Common", "Var2", ""));
    EXPECT_EQ(60000.0, ini.ReadFloat("Filter1.Common", "Timeout", 0));
    EXPECT_EQ("False", ini.ReadString("Filter1.Common", "No reset", ""));
}

TEST(RunCommand, RecordsOfTheWrittenSettingsAreWrittenAsJsonAndCsv) {
    kvr::test::TempDir dir;
    kvr::test::write_bytes(dir.file("packets.jsonl"), kMixedStream);
    RunOptions options;
    options.input = dir.file("packets.jsonl");
    options.variables = {"Temp", "Hum"};
    options.ini_file = dir.file("settings.ini");

    EXPECT_EQ("{\"Temp\":20.5,\"Date\":\"d1\",\"Hum\":40}\n", run(options).out);
    options.csv = true;
    EXPECT_EQ("Temp,Date,Hum\r\n20.5,d1,40\r\n", run(options).out);
}

TEST(RunCommand, StandardInputIsReadAndATemporarySettingsFileIsRemoved) {
    const PrivateTemporaryFolder temporary;
    RunOptions options;
    options.input = "-";
    const RunResult result = run(options, "{\"a\":1}\r\n\r\n{\"b\":2}\r\n");
    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_EQ("", result.out) << "nothing configured, nothing combined";
    EXPECT_TRUE(contains(result.err, "kvrhost: 2 packets, 0 records, 0 skipped, 0 failed"))
        << result.err;
    options.variables = {"Temp"};
    EXPECT_EQ(0, run(options, "{\"Temp\":1}\n").exit_code);
    EXPECT_EQ("", temporary.listing());
}

TEST(RunCommand, RegistryLocationReceivesTheSettings) {
    const char* const key = "Software\\kvrhost-tests\\run";
    RunOptions options;
    options.input = "-";
    options.variables = {"Temp"};
    options.registry_path = key;
    EXPECT_EQ(0, run(options, "{\"Temp\":1}\n").exit_code);
    const auto read_var1 = [key](HKEY root) {
        char text[32];
        DWORD size = sizeof text;
        if (RegGetValueA(root, key, "Var1", RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
            return std::string("(none)");
        return std::string(text);
    };
    const std::string machine = read_var1(HKEY_LOCAL_MACHINE);
    EXPECT_EQ("Temp", machine == "(none)" ? read_var1(HKEY_CURRENT_USER) : machine);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\kvrhost-tests");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\kvrhost-tests");
}

namespace {
// Standard input from a live source: after the first packets it would wait for more, and
// notes what had been written by then.
class LiveInput final : public ByteSource {
  public:
    LiveInput(std::string first, const std::ostringstream& out)
        : first_(std::move(first)), out_(out) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        if (reads_++ == 0) {
            const std::size_t count = std::min(capacity, first_.size());
            first_.copy(buffer, count);
            return count;
        }
        written_before_waiting = out_.str();
        return 0;
    }
    std::string written_before_waiting;

  private:
    std::string first_;
    const std::ostringstream& out_;
    int reads_ = 0;
};
} // namespace

TEST(RunCommand, RecordsGoOutBeforeTheRunWaitsForMoreInput) {
    RunOptions options;
    options.plugin = plugin_path();
    options.input = "-";
    options.variables = {"Temp", "Hum"};
    std::ostringstream out, err;
    LiveInput input("{\"Temp\":1}\n{\"Hum\":2}\n", out);
    EXPECT_EQ(0, run_packets(options, input, out, err, false)) << err.str();
    EXPECT_EQ("{\"Temp\":1,\"Hum\":2}\n", input.written_before_waiting)
        << "a reader of a live source would not see the record until more input came";
}

TEST(RunCommand, ConflictsAndMissingFilesStopTheRunBeforeAnythingIsWritten) {
    kvr::test::TempDir dir;
    RunOptions options;
    options.input = "-";
    options.variables = {"Temp"};
    options.ini_file = dir.file("settings.ini");
    options.registry_path = "Software\\kvrhost-tests\\never";
    EXPECT_THROW(run(options), RunError);
    options.registry_path.clear();
    options.items_file = dir.file("missing-items.txt");
    EXPECT_THROW(run(options), RunError);
    options.items_file.clear();
    options.input = dir.file("missing.jsonl");
    EXPECT_THROW(run(options), RunError);
    EXPECT_EQ("", dir.listing());
}

TEST(RunCommand, TheHostsLanguageTranslatesTheModulesOutcomeLines) {
    kvr::test::TempDir dir;
    RunOptions options;
    options.input = dir.file("packets.jsonl");
    kvr::test::write_bytes(options.input, "{\"Temp\":1}\n");
    options.variables = {"Temp"};
    options.ini_file = dir.file("settings.ini");
    options.module_types = KVR_MTT_FILTER | KVR_MTT_DATA_EXPORT;

    const RunResult english = run(options);
    EXPECT_TRUE(contains(english.err, "Data have been processed successfully")) << english.err;
    options.language = "DE";
    const RunResult german = run(options);
    EXPECT_EQ(0, german.exit_code) << german.err;
    EXPECT_TRUE(contains(german.err, "Die Daten wurden erfolgreich verarbeitet")) << german.err;
    EXPECT_FALSE(contains(german.err, "Data have been processed")) << german.err;
}
