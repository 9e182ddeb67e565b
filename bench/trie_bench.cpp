// Benchmark of the translation area, run by hand:
//   1. the string hash trie against std::unordered_map<std::string, std::string> on the same
//      100,000 language-file-like keys (insert and look-up, best of several rounds), once
//      case-sensitive as the translator uses it and once ignoring case, where the map keys on
//      the upper-cased text; then the same on 100,000 forged keys that all share one CRC-32, as
//      a crafted language file could hold them (look-ups of absent keys with that CRC too);
//   2. the language-file parser on a generated 1 MB and 10 MB file, time per MB side by side,
//      to show that parsing time grows linearly with the file.

#include "component/text_platform.h"
#include "translation/hash_trie.h"
#include "translation/language_file.h"

#include "../tests/translation/trie_test_keys.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeyCount = 100000;
constexpr int kRounds = 5;

double milliseconds_of(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Texts as they stand in language files: captions, hints, accelerators, multi-line labels.
std::vector<std::string> make_texts(std::mt19937& random, int count, const char* flavour) {
    static const char* const kWords[] = {"Save",   "settings", "Cancel", "timeout", "variable",
                                         "record", "values",   "host",   "export",  "&Options",
                                         "reset",  "packet",   "file",   "module",  "language"};
    std::vector<std::string> texts;
    texts.reserve(count);
    for (int n = 0; n < count; ++n) {
        std::string text = flavour;
        const int words = 1 + static_cast<int>(random() % 7);
        for (int w = 0; w < words; ++w) {
            text += kWords[random() % std::size(kWords)];
            text += (random() % 9 == 0) ? "%0D%0A" : " ";
        }
        text += std::to_string(n);
        texts.push_back(std::move(text));
    }
    return texts;
}

struct Timings {
    double insert = 1e300;
    double find = 1e300;
};

// One side of the comparison: insert fills a fresh container with every key; find looks up
// every key, then as many absent ones, and returns a checksum of what it found.
class TrieSide {
  public:
    explicit TrieSide(bool case_sensitive) : case_sensitive_(case_sensitive) {}
    void reset() {
        trie_ = std::make_unique<kvr::TStringHashTrie>();
        trie_->SetCaseSensitive(case_sensitive_);
        trie_->SetOwnsValues(true);
    }
    void insert(const std::vector<std::string>& keys, const std::vector<std::string>& values) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            trie_->AddString(keys[i], values[i]);
    }
    std::size_t find(const std::vector<std::string>& keys,
                     const std::vector<std::string>& misses) const {
        std::size_t sum = 0;
        for (const std::string& key : keys)
            sum += static_cast<const kvr::THashStringItem*>(*trie_->Find(key))->Value.size();
        for (const std::string& key : misses)
            sum += trie_->Find(key).has_value();
        return sum;
    }
    std::size_t size() const { return trie_->Count(); }

  private:
    bool case_sensitive_;
    std::unique_ptr<kvr::TStringHashTrie> trie_;
};

// std::unordered_map; without case sensitivity it keys on the text services' upper case, the
// folding the trie does.
class MapSide {
  public:
    explicit MapSide(bool case_sensitive) : case_sensitive_(case_sensitive) {}
    void reset() { map_ = {}; }
    void insert(const std::vector<std::string>& keys, const std::vector<std::string>& values) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            map_.insert_or_assign(folded(keys[i]), values[i]);
    }
    std::size_t find(const std::vector<std::string>& keys,
                     const std::vector<std::string>& misses) const {
        std::size_t sum = 0;
        for (const std::string& key : keys)
            sum += map_.find(folded(key))->second.size();
        for (const std::string& key : misses)
            sum += map_.count(folded(key));
        return sum;
    }
    std::size_t size() const { return map_.size(); }

  private:
    std::string folded(const std::string& key) const {
        return case_sensitive_ ? key : kvr::text_platform().ansi_upper(key);
    }
    bool case_sensitive_;
    std::unordered_map<std::string, std::string> map_;
};

// Some allocators (glibc's among them) put off merging freed small blocks until the next large
// request. One large request here makes the previous round's teardown pay for itself, instead
// of the first node or bucket array that the timed work allocates.
void settle_heap() {
    const auto block = std::make_unique<char[]>(1 << 16);
    *static_cast<volatile char*>(block.get()) = 1; // keeps the compiler from dropping the block
}

// Best times of several rounds of one side: a fresh container filled with every key, then the
// look-ups. Each round reuses the memory the previous one freed, as a long-running process
// does, so that neither side pays for fresh pages from the system.
template <class Side>
Timings time_rounds(Side& side, const std::vector<std::string>& keys,
                    const std::vector<std::string>& values, const std::vector<std::string>& queries,
                    const std::vector<std::string>& misses, std::size_t& checksum) {
    Timings best;
    for (int round = 0; round < kRounds; ++round) {
        side.reset();
        settle_heap();
        best.insert = std::min(best.insert, milliseconds_of([&] { side.insert(keys, values); }));
        best.find =
            std::min(best.find, milliseconds_of([&] { checksum = side.find(queries, misses); }));
    }
    return best;
}

void print_row(const std::string& operation, double trie_ms, double map_ms) {
    std::printf("  %-32s %9.2f %9.2f %9.2f\n", operation.c_str(), trie_ms, map_ms,
                trie_ms / map_ms);
}

// The keys a comparison runs on: every key is inserted, then looked up in another order (as a
// form's texts are), then as many absent keys.
struct KeySet {
    std::vector<std::string> keys;
    std::vector<std::string> values;
    std::vector<std::string> queries;
    std::vector<std::string> misses;
};

KeySet make_key_set(std::mt19937& random, std::vector<std::string> keys,
                    std::vector<std::string> values, std::vector<std::string> misses) {
    KeySet set{std::move(keys), std::move(values), {}, std::move(misses)};
    set.queries = set.keys;
    std::shuffle(set.queries.begin(), set.queries.end(), random);
    return set;
}

// count keys whose CRC-32 register is target, each a caption text followed by four forged
// bytes. Only keys that upper-casing leaves alone are kept, so that they share the hash in
// both case modes.
std::vector<std::string> make_colliding_texts(int count, const char* flavour,
                                              std::uint32_t target) {
    std::vector<std::string> texts;
    texts.reserve(count);
    for (int n = 0; static_cast<int>(texts.size()) < count; ++n) {
        std::string text = kvr::test::key_with_crc(flavour + std::to_string(n), target);
        if (kvr::text_platform().ansi_upper(text) == text) texts.push_back(std::move(text));
    }
    return texts;
}

void compare_sides(const KeySet& set, const std::string& label) {
    for (const bool case_sensitive : {true, false}) {
        TrieSide trie(case_sensitive);
        MapSide map(case_sensitive);
        std::size_t trie_sum = 0;
        std::size_t map_sum = 0;
        const Timings trie_best =
            time_rounds(trie, set.keys, set.values, set.queries, set.misses, trie_sum);
        const Timings map_best =
            time_rounds(map, set.keys, set.values, set.queries, set.misses, map_sum);
        if (trie_sum != map_sum || trie.size() != map.size()) {
            std::printf("MISMATCH: trie %zu/%zu, map %zu/%zu\n", trie_sum, trie.size(), map_sum,
                        map.size());
        }
        const std::string what = label + (case_sensitive ? "case-sensitive" : "ignoring case");
        print_row(what + ": insert", trie_best.insert, map_best.insert);
        print_row(what + ": look up", trie_best.find, map_best.find);
    }
}

void compare_trie_with_unordered_map() {
    std::mt19937 random(42);
    std::vector<std::string> keys = make_texts(random, kKeyCount, "");
    std::vector<std::string> values = make_texts(random, kKeyCount, "DE ");
    std::vector<std::string> misses = make_texts(random, kKeyCount, "missing ");
    const KeySet texts =
        make_key_set(random, std::move(keys), std::move(values), std::move(misses));

    constexpr std::uint32_t kForgedCrc = 0x1BADC0DEu;
    const KeySet forged =
        make_key_set(random, make_colliding_texts(kKeyCount, "FORGED CAPTION ", kForgedCrc),
                     make_texts(random, kKeyCount, "DE "),
                     make_colliding_texts(kKeyCount, "MISSING CAPTION ", kForgedCrc));

    std::printf("String hash trie against std::unordered_map, %d keys (best of %d rounds)\n"
                "  look-ups: every key in shuffled order, then %d absent keys\n",
                kKeyCount, kRounds, kKeyCount);
    std::printf("  %-32s %9s %9s %9s\n", "operation", "trie ms", "map ms", "trie/map");
    compare_sides(texts, "");
    compare_sides(forged, "one CRC, ");
}

// A language file of about the given size: settings, comments and blocks for three languages.
std::string make_language_file(std::size_t bytes) {
    std::mt19937 random(7);
    std::string text = "Encoding=utf-8\r\nCharset=windows-1251\r\n//saveuntr\r\n[Languages]\r\n"
                       "$EN = English\r\n$DE = Deutsch\r\nDefault = DE\r\n\r\n";
    text.reserve(bytes + 256);
    for (int n = 0; text.size() < bytes; ++n) {
        const std::vector<std::string> line = make_texts(random, 3, "");
        text += "// block " + std::to_string(n) + "\r\n";
        text += "EN:>" + line[0] + "\r\nDE:>" + line[1] + "\r\nFR:>" + line[2] + "\r\n\r\n";
    }
    return text;
}

void time_language_file_parser() {
    std::printf("\nLanguage-file parser, EN to DE (best of %d rounds)\n", kRounds);
    std::printf("  %-8s %9s | %-21s | %-21s\n", "", "", "entries streamed", "entries collected");
    std::printf("  %-8s %9s | %10s %10s | %10s %10s\n", "file", "entries", "ms", "ms per MB", "ms",
                "ms per MB");
    const std::vector<std::size_t> sizes = {1, 10};
    std::vector<std::string> files;
    for (const std::size_t megabytes : sizes)
        files.push_back(make_language_file(megabytes << 20));

    // The sizes take turns within each round, so that a busy machine slows both alike.
    std::vector<double> streamed(files.size(), 1e300);
    std::vector<double> collected(files.size(), 1e300);
    std::vector<std::size_t> entries(files.size(), 0);
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::size_t count = 0;
            settle_heap();
            streamed[i] = std::min(streamed[i], milliseconds_of([&] {
                                       kvr::parse_language_file(
                                           files[i], "EN", "DE",
                                           [&](std::string_view, std::string_view) { ++count; });
                                   }));
            settle_heap();
            collected[i] =
                std::min(collected[i], milliseconds_of([&] {
                             entries[i] =
                                 kvr::parse_language_file(files[i], "EN", "DE").Entries.size();
                         }));
            if (count != entries[i]) std::printf("MISMATCH: %zu against %zu\n", count, entries[i]);
        }
    }
    auto per_mb = [&](const std::vector<double>& ms, std::size_t i) {
        return ms[i] / (static_cast<double>(files[i].size()) / (1 << 20));
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::printf("  %4zu MB  %9zu | %10.2f %10.3f | %10.2f %10.3f\n", sizes[i], entries[i],
                    streamed[i], per_mb(streamed, i), collected[i], per_mb(collected, i));
    }
    std::printf("  time per MB, 10 MB against 1 MB (1.00 is linear): streamed %.2f, collected "
                "%.2f\n",
                per_mb(streamed, 1) / per_mb(streamed, 0),
                per_mb(collected, 1) / per_mb(collected, 0));
}

} // namespace

int main() {
    compare_trie_with_unordered_map();
    time_language_file_parser();
    return 0;
}
