#pragma once
// What every fuzz target uses: a check that stops the run with a message when an invariant
// fails (libFuzzer then keeps the input as a crash), and INI files held in memory.

#include "settings/ini_platform.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace kvr::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz invariant failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

#define KVR_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) ::kvr::fuzz::fail(#condition, __FILE__, __LINE__);                       \
    } while (0)

// Files as strings; reads hand the text on in pieces of chunk_size bytes, so the engine's
// parser meets lines cut at every place a real 1 MiB buffer could cut them.
class MemoryFiles final : public ini::IniFileAccess {
  public:
    explicit MemoryFiles(std::size_t chunk_size) : chunk_size_(chunk_size ? chunk_size : 1) {}

    bool file_exists(const std::string& path) const override { return files.count(path) > 0; }
    void read_file(const std::string& path, std::size_t,
                   const ini::ChunkSink& consume) const override {
        const std::string_view text = files.at(path);
        for (std::size_t start = 0; start < text.size(); start += chunk_size_)
            consume(text.substr(start, chunk_size_));
    }
    void replace_file(const std::string& path, const ini::ContentProducer& produce) const override {
        std::string text;
        produce([&text](std::string_view chunk) { text.append(chunk); });
        files[path] = std::move(text);
    }

    mutable std::map<std::string, std::string> files;

  private:
    std::size_t chunk_size_;
};

} // namespace kvr::fuzz
