// TBigIniFile against the Windows profile functions, on the same files in one run:
//   - reading every entry of files with 10, 1,000 and 100,000 entries (sections of 100);
//   - writing 1,000 entries into a new file.
// Prints both times and their ratio. The profile functions look every entry up in the file
// anew, so reading a large file through them can take very long: past a time budget the run
// stops at an evenly spread sample of the names, scales its time to all of them, and says so.
//
//   ini_bench [--budget-seconds N]     (default 120)

#include "settings/big_ini_file.h"
#include "settings/ini_platform_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kEntriesPerSection = 100;

struct Entry {
    std::string section;
    std::string name;
    std::string value;
};

class Stopwatch {
  public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double seconds() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return double(now.QuadPart - start_.QuadPart) / double(frequency.QuadPart);
    }

  private:
    LARGE_INTEGER start_;
};

std::vector<Entry> make_entries(int count) {
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index)
        entries.push_back({"Section" + std::to_string(index / kEntriesPerSection),
                           "Entry" + std::to_string(index),
                           "value number " + std::to_string(index * 7)});
    return entries;
}

void write_file(const std::string& path, const std::vector<Entry>& entries) {
    std::string text;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (index == 0 || entries[index].section != entries[index - 1].section)
            text += (index ? "\r\n[" : "[") + entries[index].section + "]\r\n";
        text += entries[index].name + "=" + entries[index].value + "\r\n";
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

// Reads every entry through the engine: the file is loaded once, then looked up in memory.
double read_with_engine(const std::string& path, const std::vector<Entry>& entries, int& wrong) {
    const Stopwatch watch;
    const kvr::TBigIniFile ini(path, kvr::ini::WindowsIniPlatform());
    for (const Entry& entry : entries)
        if (ini.ReadString(entry.section, entry.name, "") != entry.value) ++wrong;
    return watch.seconds();
}

bool read_with_profile(const std::string& path, const Entry& entry) {
    char value[256];
    GetPrivateProfileStringA(entry.section.c_str(), entry.name.c_str(), "", value, sizeof value,
                             path.c_str());
    return entry.value == value;
}

struct ProfileRead {
    double seconds = 0; // measured, or estimated for all names from a sample
    int names_read = 0;
};

// Reads every entry through GetPrivateProfileStringA, in passes that each take every 100th
// name from a different offset, so that whatever has been read after any pass is an evenly
// spread sample. When the budget runs out after a pass, the time is scaled to all names.
ProfileRead read_with_profile(const std::string& path, const std::vector<Entry>& entries,
                              double budget, int& wrong) {
    constexpr std::size_t kPasses = 100;
    ProfileRead result;
    const Stopwatch watch;
    for (std::size_t pass = 0; pass < kPasses && pass < entries.size(); ++pass) {
        for (std::size_t index = pass; index < entries.size(); index += kPasses) {
            if (!read_with_profile(path, entries[index])) ++wrong;
            ++result.names_read;
        }
        if (watch.seconds() > budget) break;
    }
    result.seconds = watch.seconds();
    if (result.names_read < static_cast<int>(entries.size()))
        result.seconds *= double(entries.size()) / double(result.names_read);
    return result;
}

double write_with_engine(const std::string& path, const std::vector<Entry>& entries) {
    const Stopwatch watch;
    {
        kvr::TBigIniFile ini(path, kvr::ini::WindowsIniPlatform());
        for (const Entry& entry : entries)
            ini.WriteString(entry.section, entry.name, entry.value);
        ini.UpdateFile();
    }
    return watch.seconds();
}

double write_with_profile(const std::string& path, const std::vector<Entry>& entries) {
    const Stopwatch watch;
    for (const Entry& entry : entries)
        WritePrivateProfileStringA(entry.section.c_str(), entry.name.c_str(), entry.value.c_str(),
                                   path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); // flush the cache
    return watch.seconds();
}

int count_wrong_values(const std::string& path, const std::vector<Entry>& entries) {
    const kvr::TBigIniFile ini(path, kvr::ini::WindowsIniPlatform());
    int wrong = 0;
    for (const Entry& entry : entries)
        if (ini.ReadString(entry.section, entry.name, "") != entry.value) ++wrong;
    return wrong;
}

std::string ratio_text(double baseline, double engine) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx", engine > 0 ? baseline / engine : 0.0);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // figures survive a run that is cut short
    double budget = 120;
    for (int arg = 1; arg + 1 < argc; ++arg)
        if (std::strcmp(argv[arg], "--budget-seconds") == 0) budget = std::atof(argv[arg + 1]);

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "kvr-ini-bench-" + std::to_string(std::random_device{}());
    CreateDirectoryA(folder.c_str(), nullptr);

    std::printf("INI engine (TBigIniFile) against the Windows profile functions, same files\n");
    std::printf("%-28s %14s %14s %8s  %s\n", "operation", "TBigIniFile", "profile API", "ratio",
                "notes");
    bool target_met = false;
    int failures = 0;
    for (const int count : {10, 1000, 100000}) {
        const std::vector<Entry> entries = make_entries(count);
        const std::string path = folder + "\\read" + std::to_string(count) + ".ini";
        write_file(path, entries);
        int wrong = 0;
        const double engine = read_with_engine(path, entries, wrong);
        const ProfileRead profile = read_with_profile(path, entries, budget, wrong);
        failures += wrong;
        std::string notes;
        if (profile.names_read < count)
            notes = "profile: sampled " + std::to_string(profile.names_read) + " of " +
                    std::to_string(count) + " names, time scaled to all";
        if (wrong) notes += " WRONG VALUES: " + std::to_string(wrong);
        std::printf("%-28s %12.3f s %12.3f s %8s  %s\n",
                    ("read " + std::to_string(count) + " entries").c_str(), engine, profile.seconds,
                    ratio_text(profile.seconds, engine).c_str(), notes.c_str());
        if (count == 100000) target_met = profile.seconds >= 20 * engine;
        DeleteFileA(path.c_str());
    }

    const std::vector<Entry> written = make_entries(1000);
    const std::string engine_path = folder + "\\write_engine.ini";
    const std::string profile_path = folder + "\\write_profile.ini";
    const double engine = write_with_engine(engine_path, written);
    const double profile = write_with_profile(profile_path, written);
    const int wrong =
        count_wrong_values(engine_path, written) + count_wrong_values(profile_path, written);
    failures += wrong;
    std::printf("%-28s %12.3f s %12.3f s %8s  %s\n", "write 1000 entries", engine, profile,
                ratio_text(profile, engine).c_str(),
                wrong ? ("WRONG VALUES: " + std::to_string(wrong)).c_str() : "");
    DeleteFileA(engine_path.c_str());
    DeleteFileA(profile_path.c_str());
    RemoveDirectoryA(folder.c_str());

    std::printf("target (100,000 entries read at least 20x faster than the profile API): %s\n",
                target_met ? "met" : "NOT met");
    return failures ? 1 : 0;
}
