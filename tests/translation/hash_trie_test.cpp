#include "translation/hash_trie.h"

#include "common/errors.h"
#include "fake_text_platform.h"
#include "trie_test_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kvr {
namespace {

using test::key_with_crc;
using test::reference_crc;

// A value that counts its own destruction.
class TCountedValue : public THashValue {
  public:
    explicit TCountedValue(int& destroyed) : destroyed_(destroyed) {}
    ~TCountedValue() override { ++destroyed_; }

  private:
    int& destroyed_;
};

void configure(TStringHashTrie& trie, bool case_sensitive, bool owns_values) {
    trie.SetCaseSensitive(case_sensitive);
    trie.SetOwnsValues(owns_values);
}

// Keys "key<n>" whose hash has the given low byte, with pairwise different second bytes.
std::vector<std::string> keys_sharing_low_byte(int count, std::uint32_t low_byte) {
    std::vector<std::string> keys;
    std::set<std::uint32_t> second_bytes;
    for (int n = 0; static_cast<int>(keys.size()) < count; ++n) {
        std::string key = "key" + std::to_string(n);
        const std::uint32_t hash = reference_crc(key);
        if ((hash & 0xFF) == low_byte && second_bytes.insert((hash >> 8) & 0xFF).second)
            keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<std::string> keys_with_one_hash(int count, std::uint32_t hash) {
    std::vector<std::string> keys;
    for (int n = 0; n < count; ++n)
        keys.push_back(key_with_crc("Collision " + std::to_string(n), hash));
    return keys;
}

using HashFunction = std::function<std::uint32_t(const std::string&)>;

// Checks the shape of a trie against its rules and returns the entries seen: every entry lies
// in the slot its hash selects on the path to it, Occupied counts the non-empty slots, chains
// hold at most eight entries unless their keys share the whole hash, exactly those longer
// chains have an index with one entry per chain entry, and no node is deeper than level 3.
std::size_t check_structure(const TTreeItem& node, std::uint32_t path_mask, std::uint32_t path,
                            const HashFunction& hash_of) {
    EXPECT_LE(node.Level(), THashTrie::kDeepestLevel);
    std::size_t entries = 0;
    int occupied = 0;
    const int shift = 8 * node.Level();
    for (int slot = 0; slot < TTreeItem::kSlotCount; ++slot) {
        const std::uint32_t slot_path = path | (static_cast<std::uint32_t>(slot) << shift);
        const std::uint32_t slot_mask = path_mask | (0xFFu << shift);
        if (const TTreeItem* child = node.Child(slot)) {
            EXPECT_EQ(node.Chain(slot), nullptr);
            EXPECT_EQ(child->Level(), node.Level() + 1);
            EXPECT_GT(child->Occupied(), 0);
            EXPECT_EQ(node.IndexedEntries(slot), 0u);
            entries += check_structure(*child, slot_mask, slot_path, hash_of);
            ++occupied;
            continue;
        }
        std::size_t length = 0;
        std::set<std::uint32_t> hashes;
        for (const TLinkedItem* entry = node.Chain(slot); entry; entry = entry->Next.get()) {
            EXPECT_EQ(entry->Hash, hash_of(entry->Key));
            EXPECT_EQ(entry->Hash & slot_mask, slot_path);
            hashes.insert(entry->Hash);
            ++length;
        }
        if (length > THashTrie::kMaxChain) {
            EXPECT_EQ(node.Level(), THashTrie::kDeepestLevel);
            EXPECT_EQ(hashes.size(), 1u);
            EXPECT_EQ(node.IndexedEntries(slot), length) << "slot " << slot;
        } else {
            EXPECT_EQ(node.IndexedEntries(slot), 0u) << "slot " << slot;
        }
        if (length > 0) ++occupied;
        entries += length;
    }
    EXPECT_EQ(node.Occupied(), occupied);
    return entries;
}

// hash_of: the hash the trie's keys must have; by default that of a case-sensitive trie.
void check_structure(
    const TStringHashTrie& trie,
    const HashFunction& hash_of = [](const std::string& key) { return reference_crc(key); }) {
    if (trie.Root() == nullptr) {
        EXPECT_EQ(trie.Count(), 0u);
        return;
    }
    EXPECT_EQ(trie.Root()->Level(), 0);
    EXPECT_EQ(check_structure(*trie.Root(), 0, 0, hash_of), trie.Count());
}

TEST(TrieHash, IsTheCrc32RegisterWithoutFinalInversion) {
    EXPECT_EQ(trie_crc32(""), 0xFFFFFFFFu);
    EXPECT_EQ(trie_crc32("123456789"), ~0xCBF43926u); // the CRC-32 check value, not inverted
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 64, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        ASSERT_EQ(trie_crc32(bytes), reference_crc(bytes));
    }
}

TEST(TrieHash, ForgedTestKeysReallyShareTheirHash) {
    const std::vector<std::string> keys = keys_with_one_hash(12, 0x5EED1234u);
    for (const std::string& key : keys) {
        EXPECT_EQ(reference_crc(key), 0x5EED1234u);
        EXPECT_EQ(trie_crc32(key), 0x5EED1234u);
    }
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
}

TEST(TrieHash, SlotIndexTakesSuccessiveBytesAndWrapsAfterFour) {
    const std::uint32_t hash = 0x44332211u;
    EXPECT_EQ(THashTrie::SlotIndex(hash, 0), 0x11);
    EXPECT_EQ(THashTrie::SlotIndex(hash, 1), 0x22);
    EXPECT_EQ(THashTrie::SlotIndex(hash, 2), 0x33);
    EXPECT_EQ(THashTrie::SlotIndex(hash, 3), 0x44);
    EXPECT_EQ(THashTrie::SlotIndex(hash, 4), 0x11);
}

TEST(HashTrie, AddingAKeyAgainKeepsOneEntryWithTheSecondValueAndFreesTheFirst) {
    int destroyed = 0;
    TStringHashTrie trie;
    configure(trie, true, true);
    auto* first = new TCountedValue(destroyed);
    auto* second = new TCountedValue(destroyed);
    trie.Add("Save", first);
    trie.Add("Save", second);
    EXPECT_EQ(trie.Count(), 1u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(trie.Find("Save"), std::optional<THashValue*>(second));
    trie.Clear();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(trie.Root(), nullptr);
}

// Re-adding the value a key already holds once freed it before inserting the dangling pointer.
TEST(HashTrie, ReAddingTheSameOwnedValueKeepsItAlive) {
    int destroyed = 0;
    TStringHashTrie trie;
    configure(trie, true, true);
    auto* value = new TCountedValue(destroyed);
    trie.Add("Save", value);
    trie.Add("Save", value);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(trie.Find("Save"), std::optional<THashValue*>(value));
    EXPECT_TRUE(trie.Delete("Save"));
    EXPECT_EQ(destroyed, 1);
}

TEST(HashTrie, ValuesBelongToTheTrieOnlyWhenItOwnsThem) {
    int destroyed = 0;
    std::vector<std::unique_ptr<TCountedValue>> kept;
    {
        TStringHashTrie borrowing;
        configure(borrowing, true, false);
        kept.push_back(std::make_unique<TCountedValue>(destroyed));
        borrowing.Add("a", kept.back().get());
        borrowing.Add("a", nullptr);
        borrowing.AddString("b", "made by the trie, freed by it");
        EXPECT_EQ(borrowing.Find("a"), std::optional<THashValue*>(nullptr));
        EXPECT_EQ(borrowing.FindString("b"), "made by the trie, freed by it");
    }
    EXPECT_EQ(destroyed, 0);
    {
        TStringHashTrie owning;
        configure(owning, true, true);
        owning.Add("a", new TCountedValue(destroyed));
        owning.Add("b", new TCountedValue(destroyed));
        EXPECT_TRUE(owning.Delete("a"));
        EXPECT_FALSE(owning.Delete("a"));
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(HashTrie, FindStringAnswersEmptyForMissingKeysAndOtherValues) {
    int destroyed = 0;
    TStringHashTrie trie;
    configure(trie, true, true);
    trie.Add("object", new TCountedValue(destroyed));
    trie.AddString("text", "Text");
    EXPECT_EQ(trie.FindString("text"), "Text");
    EXPECT_EQ(trie.FindString("object"), "");
    EXPECT_EQ(trie.FindString("missing"), "");
    EXPECT_FALSE(trie.Find("missing").has_value());
    EXPECT_FALSE(TStringHashTrie().Find("x").has_value()); // no root yet
}

TEST(HashTrie, CaseDecidesWhetherKeysDifferingInCaseAreTwoEntries) {
    TStringHashTrie sensitive;
    configure(sensitive, true, true);
    sensitive.AddString("Save", "1");
    sensitive.AddString("save", "2");
    EXPECT_EQ(sensitive.Count(), 2u);
    EXPECT_EQ(sensitive.FindString("Save"), "1");
    EXPECT_EQ(sensitive.FindString("SAVE"), "");

    TStringHashTrie insensitive;
    configure(insensitive, false, true);
    insensitive.AddString("Save", "1");
    insensitive.AddString("save", "2");
    insensitive.AddString("\xC4rger \xFF", "3"); // Windows-1252: A/a umlaut, y/Y diaeresis
    insensitive.AddString("\xE4RGER \x9F", "4");
    EXPECT_EQ(insensitive.Count(), 2u);
    EXPECT_EQ(insensitive.FindString("SAVE"), "2");
    EXPECT_EQ(insensitive.FindString("\xC4RGER \x9F"), "4");
    EXPECT_TRUE(insensitive.Delete("sAvE"));
    EXPECT_EQ(insensitive.Count(), 1u);
}

// Turkish casing: dotted i upper-cases to a dotted capital I (0xDD), dotless i (0xFD) to I.
test::TFakeTextPlatform turkish_text_platform() {
    test::TFakeTextPlatform platform;
    platform.upper = [](std::string_view text) {
        std::string upper;
        for (const char c : text) {
            if (c == 'i') {
                upper.push_back('\xDD');
            } else if (c == '\xFD') {
                upper.push_back('I');
            } else {
                upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
            }
        }
        return upper;
    };
    return platform;
}

TEST(HashTrie, IgnoringCaseFollowsTheUpperCasingOfTheTextPlatform) {
    const test::TFakeTextPlatform turkish = turkish_text_platform();
    TStringHashTrie trie(turkish);
    configure(trie, false, true);
    trie.AddString("file", "dotted");
    trie.AddString("FILE", "dotless");
    EXPECT_EQ(trie.Count(), 2u);
    EXPECT_EQ(trie.FindString("F\xDDLE"), "dotted");
    EXPECT_EQ(trie.FindString("f\xFDle"), "dotless");
    EXPECT_TRUE(trie.Delete("fiLe"));
    EXPECT_FALSE(trie.Find("file").has_value());
    EXPECT_EQ(trie.FindString("File"), "");
    EXPECT_EQ(trie.FindString("FIle"), "dotless");
}

TEST(HashTrie, KeepsTheTextPlatformInForceWhenItWasMade) {
    const test::TFakeTextPlatform turkish = turkish_text_platform();
    TStringHashTrie before;
    before.AddString("file", "x");
    const test::TInstalledTextPlatform installed(turkish);
    TStringHashTrie after;
    after.AddString("file", "x");
    // Made under Windows-1252 rules, the first trie still finds its key in plain upper case.
    EXPECT_EQ(before.FindString("FILE"), "x");
    EXPECT_EQ(after.FindString("FILE"), "");
    EXPECT_EQ(after.FindString("F\xDDLE"), "x");
}

TEST(HashTrie, CaseSensitivityCannotChangeOnceKeysAreStored) {
    TStringHashTrie trie;
    trie.AddString("Save", "x");
    EXPECT_THROW(trie.SetCaseSensitive(true), EAssertionFailed);
    EXPECT_EQ(trie.FindString("SAVE"), "x");
    trie.Clear();
    trie.SetCaseSensitive(true);
    EXPECT_TRUE(trie.CaseSensitive());
}

TEST(HashTrie, NineKeysSharingTheLowByteSplitIntoALevelOneChild) {
    const std::vector<std::string> keys = keys_sharing_low_byte(9, 0x5A);
    TStringHashTrie trie;
    configure(trie, true, true);
    for (int i = 0; i < 8; ++i)
        trie.AddString(keys[i], keys[i] + "!");
    ASSERT_NE(trie.Root(), nullptr);
    EXPECT_EQ(trie.Root()->Child(0x5A), nullptr); // eight still fit in one chain
    trie.AddString(keys[8], keys[8] + "!");

    const TTreeItem* child = trie.Root()->Child(0x5A);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Level(), 1);
    EXPECT_EQ(child->Occupied(), 9);
    EXPECT_EQ(trie.Root()->Occupied(), 1);
    for (const std::string& key : keys)
        EXPECT_EQ(trie.FindString(key), key + "!");
    check_structure(trie);
}

TEST(HashTrie, DeletingEveryKeyOfAChildReleasesItAndFreesTheParentSlot) {
    const std::vector<std::string> shared = keys_sharing_low_byte(9, 0x21);
    const std::vector<std::string> others = keys_sharing_low_byte(1, 0x22);
    TStringHashTrie trie;
    configure(trie, true, true);
    for (const std::string& key : shared)
        trie.AddString(key, "v");
    trie.AddString(others[0], "w");
    ASSERT_NE(trie.Root()->Child(0x21), nullptr);
    EXPECT_EQ(trie.Root()->Occupied(), 2);

    for (std::size_t i = 0; i + 1 < shared.size(); ++i)
        EXPECT_TRUE(trie.Delete(shared[i]));
    EXPECT_NE(trie.Root()->Child(0x21), nullptr); // one key left: the child stays
    EXPECT_TRUE(trie.Delete(shared.back()));
    EXPECT_EQ(trie.Root()->Child(0x21), nullptr);
    EXPECT_EQ(trie.Root()->Chain(0x21), nullptr);
    EXPECT_EQ(trie.Root()->Occupied(), 1);
    EXPECT_EQ(trie.FindString(others[0]), "w");
    check_structure(trie);
}

TEST(HashTrie, KeysWithOneFullHashShareAChainAtLevelThreeInsteadOfSplitting) {
    const std::vector<std::string> keys = keys_with_one_hash(40, 0xA1B2C3D4u);
    TStringHashTrie trie;
    configure(trie, true, true);
    for (const std::string& key : keys)
        trie.AddString(key, key);
    EXPECT_EQ(trie.Count(), keys.size());
    for (const std::string& key : keys)
        EXPECT_EQ(trie.FindString(key), key);

    const TTreeItem* node = trie.Root();
    for (const int slot : {0xD4, 0xC3, 0xB2}) {
        ASSERT_NE(node->Child(slot), nullptr);
        node = node->Child(slot);
    }
    EXPECT_EQ(node->Level(), 3);
    EXPECT_EQ(node->Child(0xA1), nullptr);
    ASSERT_NE(node->Chain(0xA1), nullptr);
    check_structure(trie);

    // A key that shares the hash but was never added is not found.
    EXPECT_FALSE(trie.Find(key_with_crc("Stranger", 0xA1B2C3D4u)).has_value());

    for (const std::string& key : keys)
        ASSERT_TRUE(trie.Delete(key));
    EXPECT_EQ(trie.Count(), 0u);
    EXPECT_EQ(trie.Root()->Occupied(), 0); // every emptied node below the root was released
}

TEST(HashTrie, AHundredThousandKeysWithManyCollisionsStayFindableThroughDeletes) {
    // 2,000 groups of 10 keys with one full hash each, 2,000 groups of 10 sharing the low two
    // bytes only, and 60,000 ordinary texts.
    std::vector<std::string> keys;
    for (std::uint32_t group = 0; group < 2000; ++group) {
        const std::uint32_t full = 0x9E3779B9u * (group + 1);
        for (int n = 0; n < 10; ++n)
            keys.push_back(
                key_with_crc("F" + std::to_string(group) + "/" + std::to_string(n), full));
        const std::uint32_t low = (0x7F4A7C15u * (group + 1)) & 0xFFFFu;
        for (std::uint32_t n = 0; n < 10; ++n)
            keys.push_back(
                key_with_crc("L" + std::to_string(group), low | ((n * 0x01010101u) << 16)));
    }
    for (int n = 0; n < 60000; ++n)
        keys.push_back("Options text number " + std::to_string(n));
    ASSERT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 100000u);

    TStringHashTrie trie;
    configure(trie, true, true);
    for (std::size_t i = 0; i < keys.size(); ++i)
        trie.AddString(keys[i], std::to_string(i));
    EXPECT_EQ(trie.Count(), keys.size());
    check_structure(trie);
    for (std::size_t i = 0; i < keys.size(); ++i)
        ASSERT_EQ(trie.FindString(keys[i]), std::to_string(i));

    for (std::size_t i = 0; i < keys.size(); i += 2)
        ASSERT_TRUE(trie.Delete(keys[i]));
    EXPECT_EQ(trie.Count(), keys.size() / 2);
    check_structure(trie);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i % 2 == 0) {
            ASSERT_FALSE(trie.Find(keys[i]).has_value()) << i;
        } else {
            ASSERT_EQ(trie.FindString(keys[i]), std::to_string(i));
        }
    }

    std::map<std::string, THashValue*> seen;
    trie.ForEach([&](const std::string& key, THashValue* value) { seen.emplace(key, value); });
    EXPECT_EQ(seen.size(), trie.Count());
    trie.Clear();
    EXPECT_EQ(trie.Root(), nullptr);
    EXPECT_EQ(trie.Count(), 0u);
}

// ---- Chains of keys that share the whole hash: they cannot split, and carry an index ----

// A value with a tag, counting its own destruction.
class TTaggedValue : public THashValue {
  public:
    TTaggedValue(int tag, int& destroyed) : Tag(tag), destroyed_(destroyed) {}
    ~TTaggedValue() override { ++destroyed_; }
    const int Tag;

  private:
    int& destroyed_;
};

int tag_of(const std::optional<THashValue*>& found) {
    if (!found.has_value()) return -1;
    const auto* tagged = dynamic_cast<const TTaggedValue*>(*found);
    return tagged == nullptr ? -2 : tagged->Tag;
}

// A key whose upper case under some text platform has a chosen hash: an upper-case caption
// (the part a test may spell in another case) followed by four forged bytes that
// upper-casing leaves alone, so that the whole key is its own upper case.
struct ForgedKey {
    std::string caption;
    std::string tail;
    std::string Key() const { return caption + tail; }
};

std::vector<ForgedKey> keys_with_one_upper_hash(int count, std::uint32_t hash,
                                                const TextPlatform& platform,
                                                const std::string& caption) {
    std::vector<ForgedKey> keys;
    for (int n = 0; static_cast<int>(keys.size()) < count; ++n) {
        const std::string prefix = caption + std::to_string(n);
        const std::string key = key_with_crc(prefix, hash);
        if (platform.ansi_upper(key) == key) keys.push_back({prefix, key.substr(prefix.size())});
    }
    return keys;
}

// The chain a hash leads to: the level of its node and its keys, head first.
struct ChainView {
    int level = -1;
    std::size_t indexed = 0;
    std::vector<std::string> keys;
};

ChainView chain_of(const TStringHashTrie& trie, std::uint32_t hash) {
    ChainView view;
    const TTreeItem* node = trie.Root();
    if (node == nullptr) return view;
    while (const TTreeItem* child = node->Child(THashTrie::SlotIndex(hash, node->Level())))
        node = child;
    const int slot = THashTrie::SlotIndex(hash, node->Level());
    view.level = node->Level();
    view.indexed = node->IndexedEntries(slot);
    for (const TLinkedItem* entry = node->Chain(slot); entry; entry = entry->Next.get())
        view.keys.push_back(entry->Key);
    return view;
}

TEST(HashTrieCollisions, TheIndexOfALongChainIsReleasedOnceTheChainIsShortAgain) {
    const std::vector<std::string> keys = keys_with_one_hash(12, 0xC0FFEE11u);
    TStringHashTrie trie;
    configure(trie, true, true);
    for (const std::string& key : keys)
        trie.AddString(key, key);
    EXPECT_EQ(chain_of(trie, 0xC0FFEE11u).indexed, 12u);

    for (std::size_t i = 0; i < 3; ++i)
        ASSERT_TRUE(trie.Delete(keys[i]));
    EXPECT_EQ(chain_of(trie, 0xC0FFEE11u).indexed, 9u);
    ASSERT_TRUE(trie.Delete(keys[3]));
    const ChainView short_chain = chain_of(trie, 0xC0FFEE11u);
    EXPECT_EQ(short_chain.level, THashTrie::kDeepestLevel);
    EXPECT_EQ(short_chain.keys.size(), THashTrie::kMaxChain);
    EXPECT_EQ(short_chain.indexed, 0u);
    for (std::size_t i = 4; i < keys.size(); ++i)
        EXPECT_EQ(trie.FindString(keys[i]), keys[i]);

    // Growing past eight again indexes the chain again, the returning key included.
    trie.AddString(keys[0], "back");
    EXPECT_EQ(chain_of(trie, 0xC0FFEE11u).indexed, 9u);
    EXPECT_EQ(trie.FindString(keys[0]), "back");
    check_structure(trie);

    for (const std::string& key : keys)
        trie.Delete(key);
    EXPECT_EQ(trie.Count(), 0u);
    EXPECT_EQ(trie.Root()->Occupied(), 0);
}

// Random adds, re-adds, deletes and look-ups on keys of two hashes that differ only in their
// top byte, so that both chains end in the same level-3 node, and their lengths keep crossing
// the point where the index is made and dropped. Checked against a model after every step:
// what Find and Delete answer, which values were freed, and the order of the chain (a change
// puts its key at the head and leaves the other entries as they were).
void run_collisions_against_model(bool case_sensitive) {
    SCOPED_TRACE(case_sensitive ? "case-sensitive" : "ignoring case");
    const Windows1252TextPlatform platform;
    const auto fold = [&](const std::string& key) {
        return case_sensitive ? key : platform.ansi_upper(key);
    };
    const std::array<std::uint32_t, 2> hashes = {0x3C5A9617u, 0xC35A9617u};
    std::vector<std::vector<std::string>> spellings; // per key: every spelling tried
    std::vector<std::uint32_t> hash_of_key;
    for (const std::uint32_t hash : hashes) {
        for (const ForgedKey& key : keys_with_one_upper_hash(16, hash, platform, "CAPTION ")) {
            std::vector<std::string> forms = {key.Key()};
            if (!case_sensitive) {
                forms.push_back(platform.ansi_lower(key.caption) + key.tail);
                forms.push_back("Caption" + key.caption.substr(7) + key.tail);
            }
            spellings.push_back(forms);
            hash_of_key.push_back(hash);
        }
    }

    int destroyed = 0;
    int freed_expected = 0;
    TStringHashTrie trie(platform);
    configure(trie, case_sensitive, true);
    std::map<std::string, int> model; // folded key -> tag of its value
    std::mt19937 random(2024);
    for (int step = 0; step < 4000; ++step) {
        const std::size_t which = random() % spellings.size();
        const std::string& spelling = spellings[which][random() % spellings[which].size()];
        const std::uint32_t hash = hash_of_key[which];
        const std::string folded = fold(spelling);
        const bool present = model.count(folded) != 0;
        const ChainView before = chain_of(trie, hash);
        std::vector<std::string> expected_order = before.keys;
        std::erase_if(expected_order, [&](const std::string& key) { return fold(key) == folded; });

        const unsigned action = random() % 20;
        if (action < 9) {
            trie.Add(spelling, new TTaggedValue(step, destroyed));
            freed_expected += present;
            model[folded] = step;
            expected_order.insert(expected_order.begin(), spelling);
        } else if (action < 16) {
            ASSERT_EQ(trie.Delete(spelling), present) << "step " << step;
            freed_expected += present;
            model.erase(folded);
        } else {
            ASSERT_EQ(tag_of(trie.Find(spelling)), present ? model[folded] : -1) << "step " << step;
            continue;
        }

        ASSERT_EQ(destroyed, freed_expected) << "step " << step;
        ASSERT_EQ(trie.Count(), model.size()) << "step " << step;
        const ChainView after = chain_of(trie, hash);
        if (after.level == before.level) {
            ASSERT_EQ(after.keys, expected_order) << "step " << step;
        }
        for (std::size_t key = 0; key < spellings.size(); ++key) {
            const std::string& asked = spellings[key][step % spellings[key].size()];
            const auto it = model.find(fold(asked));
            ASSERT_EQ(tag_of(trie.Find(asked)), it == model.end() ? -1 : it->second)
                << "step " << step << ", key " << key;
        }
        if (step % 50 == 0) {
            check_structure(trie, [&](const std::string& key) { return reference_crc(fold(key)); });
            if (testing::Test::HasFailure()) return;
        }
    }
    trie.Clear();
    EXPECT_EQ(destroyed, freed_expected + static_cast<int>(model.size()));
}

TEST(HashTrieCollisions, RandomChangesToChainsOfOneHashAgreeWithAModel) {
    run_collisions_against_model(true);
    run_collisions_against_model(false);
}

TEST(HashTrieCollisions, ALongChainIgnoringCaseFoldsKeysWithTheTriesOwnTextPlatform) {
    const test::TFakeTextPlatform turkish = turkish_text_platform();
    const std::vector<ForgedKey> keys = keys_with_one_upper_hash(20, 0x7E57AB1Eu, turkish, "FILE ");
    TStringHashTrie trie(turkish);
    configure(trie, false, true);
    for (const ForgedKey& key : keys)
        trie.AddString(key.Key(), key.caption);
    ASSERT_EQ(chain_of(trie, 0x7E57AB1Eu).indexed, keys.size());

    // Dotless i upper-cases to I here, dotted i does not; the Windows-1252 rules differ.
    const auto dotless = [](const ForgedKey& key) { return "f\xFDle" + key.caption.substr(4); };
    const auto dotted = [](const ForgedKey& key) { return "file" + key.caption.substr(4); };
    for (const ForgedKey& key : keys) {
        EXPECT_EQ(trie.FindString(dotless(key) + key.tail), key.caption);
        EXPECT_FALSE(trie.Find(dotted(key) + key.tail).has_value());
    }
    trie.AddString(dotless(keys[3]) + keys[3].tail, "replaced");
    EXPECT_EQ(trie.Count(), keys.size());
    EXPECT_EQ(trie.FindString(keys[3].Key()), "replaced");
    EXPECT_TRUE(trie.Delete(dotless(keys[5]) + keys[5].tail));
    EXPECT_FALSE(trie.Find(keys[5].Key()).has_value());
    EXPECT_EQ(trie.Count(), keys.size() - 1);
}

TEST(HashTrieCollisions, ACaseSensitiveLongChainNeverFoldsItsKeys) {
    // Upper-casing that would make every key equal: a case-sensitive trie must not use it.
    test::TFakeTextPlatform folding_everything;
    folding_everything.upper = [](std::string_view) { return std::string("SAME"); };
    const std::vector<std::string> keys = keys_with_one_hash(20, 0x600DCAFEu);
    TStringHashTrie trie(folding_everything);
    configure(trie, true, true);
    for (const std::string& key : keys)
        trie.AddString(key, key);
    EXPECT_EQ(trie.Count(), keys.size());
    EXPECT_TRUE(trie.Delete(keys[7]));
    for (const std::string& key : keys)
        EXPECT_EQ(trie.FindString(key), key == keys[7] ? "" : key);
    check_structure(trie);
}

// Counts the key comparisons of every kind that the trie asks for.
class TCountingTrie : public TStringHashTrie {
  public:
    mutable int comparisons = 0;

  protected:
    bool KeysEqual(std::string_view a, std::string_view b) const override {
        ++comparisons;
        return TStringHashTrie::KeysEqual(a, b);
    }
    std::string ComparisonForm(std::string_view key) const override {
        ++comparisons;
        return TStringHashTrie::ComparisonForm(key);
    }
};

TEST(HashTrieCollisions, WorkInALongChainDoesNotGrowWithItsLength) {
    const std::vector<std::string> keys = keys_with_one_hash(2000, 0xFEEDBEEFu);
    TCountingTrie trie;
    configure(trie, true, true);
    for (const std::string& key : keys)
        trie.AddString(key, key);
    const auto comparisons_of = [&](const std::function<void()>& operation) {
        trie.comparisons = 0;
        operation();
        return trie.comparisons;
    };
    const int bound = static_cast<int>(THashTrie::kMaxChain);
    EXPECT_LE(comparisons_of([&] { EXPECT_EQ(trie.FindString(keys[1]), keys[1]); }), bound);
    EXPECT_LE(comparisons_of([&] { EXPECT_FALSE(trie.Find(key_with_crc("x", 0xFEEDBEEFu))); }),
              bound);
    EXPECT_LE(comparisons_of([&] { trie.AddString(keys[2], "again"); }), bound);
    EXPECT_LE(comparisons_of([&] { trie.AddString(key_with_crc("new", 0xFEEDBEEFu), "n"); }),
              bound);
    EXPECT_LE(comparisons_of([&] { EXPECT_TRUE(trie.Delete(keys[3])); }), bound);
    EXPECT_EQ(trie.Count(), keys.size());
}

// Gives tests the insertion that does not look for an equal key first.
class TInsertingTrie : public TStringHashTrie {
  public:
    using THashTrie::Insert;
};

TEST(HashTrieCollisions, InsertingAStoredKeyAgainIntoALongChainFailsWithoutHarm) {
    const std::vector<std::string> keys = keys_with_one_hash(12, 0xD0D0CACAu);
    int destroyed = 0;
    TInsertingTrie trie;
    configure(trie, true, true);
    for (std::size_t i = 0; i < keys.size(); ++i)
        trie.Add(keys[i], new TTaggedValue(static_cast<int>(i), destroyed));
    TTaggedValue extra(99, destroyed);
    for (const std::size_t i : {std::size_t{0}, keys.size() - 1})
        EXPECT_THROW(trie.Insert(keys[i], &extra, false), EAssertionFailed);
    EXPECT_EQ(trie.Count(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(tag_of(trie.Find(keys[i])), static_cast<int>(i));
    check_structure(trie);
    EXPECT_EQ(destroyed, 0);
}

} // namespace
} // namespace kvr
