// Benchmark of the translation area, run by hand:
//   1. the string hash trie against std::unordered_map<std::string, std::string> on the same
//      100,000 language-file-like keys (insert and look-up, best of several rounds);
//   2. the language-file parser on a generated 1 MB and 10 MB file, time per MB side by side,
//      to show that parsing time grows linearly with the file.

#include "translation/hash_trie.h"
#include "translation/language_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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

// Best time of several runs of setup-then-work; setup is not timed.
double best_of(int rounds, const std::function<void()>& setup, const std::function<void()>& work) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        setup();
        best = std::min(best, milliseconds_of(work));
    }
    return best;
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

void compare_trie_with_unordered_map() {
    std::mt19937 random(42);
    const std::vector<std::string> keys = make_texts(random, kKeyCount, "");
    const std::vector<std::string> values = make_texts(random, kKeyCount, "DE ");
    std::vector<std::string> misses = make_texts(random, kKeyCount, "missing ");

    auto trie = std::make_unique<kvr::TStringHashTrie>();
    std::unordered_map<std::string, std::string> map;
    auto fresh_trie = [&] {
        trie = std::make_unique<kvr::TStringHashTrie>();
        trie->SetCaseSensitive(true);
        trie->SetOwnsValues(true);
    };

    const double trie_insert = best_of(kRounds, fresh_trie, [&] {
        for (int i = 0; i < kKeyCount; ++i)
            trie->AddString(keys[i], values[i]);
    });
    const double map_insert = best_of(
        kRounds, [&] { map = {}; },
        [&] {
            for (int i = 0; i < kKeyCount; ++i)
                map.insert_or_assign(keys[i], values[i]);
        });

    std::size_t trie_sum = 0;
    std::size_t map_sum = 0;
    const double trie_find = best_of(
        kRounds, [&] { trie_sum = 0; },
        [&] {
            for (const std::string& key : keys) {
                const auto found = trie->Find(key);
                trie_sum += static_cast<const kvr::THashStringItem*>(*found)->Value.size();
            }
            for (const std::string& key : misses)
                trie_sum += trie->Find(key).has_value();
        });
    const double map_find = best_of(
        kRounds, [&] { map_sum = 0; },
        [&] {
            for (const std::string& key : keys)
                map_sum += map.find(key)->second.size();
            for (const std::string& key : misses)
                map_sum += map.count(key);
        });
    if (trie_sum != map_sum || trie->Count() != map.size()) {
        std::printf("MISMATCH: trie %zu/%zu, map %zu/%zu\n", trie_sum, trie->Count(), map_sum,
                    map.size());
    }

    std::printf("String hash trie against std::unordered_map, %d keys (best of %d rounds)\n",
                kKeyCount, kRounds);
    std::printf("  %-36s %10s %10s %8s\n", "operation", "trie ms", "map ms", "trie/map");
    std::printf("  %-36s %10.2f %10.2f %8.2f\n", "insert all keys", trie_insert, map_insert,
                trie_insert / map_insert);
    std::printf("  %-36s %10.2f %10.2f %8.2f\n", "look up all keys + as many misses", trie_find,
                map_find, trie_find / map_find);
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
            streamed[i] = std::min(streamed[i], milliseconds_of([&] {
                                       kvr::parse_language_file(
                                           files[i], "EN", "DE",
                                           [&](std::string_view, std::string_view) { ++count; });
                                   }));
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
