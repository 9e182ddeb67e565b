#pragma once
// String-keyed hash tries: 256-way nodes indexed by successive bytes of a CRC-32 of the key,
// with chains of at most eight entries at the leaves. The translator keeps its loaded
// translations in them (THashStringItem values). Keys whose whole hash collides, which a
// crafted file can supply in any number, cost O(log n) each rather than a walk of their chain.

#include "component/text_platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kvr {

// Base of the objects a trie stores.
class THashValue {
  public:
    virtual ~THashValue() = default;
};

// A value holding one 8-bit string.
class THashStringItem : public THashValue {
  public:
    explicit THashStringItem(std::string value = {}) : Value(std::move(value)) {}
    std::string Value;
};

// Table-driven CRC-32 (reflected polynomial 0xEDB88320) with initial value 0xFFFFFFFF and
// no final inversion: the bitwise complement of the common CRC-32 checksum.
std::uint32_t trie_crc32(std::string_view bytes);

// One chain entry. The entry owns its key copy; it owns its value only when OwnsValue is set.
struct TLinkedItem {
    std::string Key;
    THashValue* Value = nullptr;
    bool OwnsValue = false;
    std::uint32_t Hash = 0; // HashOf(Key), kept so that splitting need not hash again
    std::unique_ptr<TLinkedItem> Next;
};

// The look-up indexes of one node's long chains (see THashTrie); defined with the trie code.
struct TChainIndexes;

// One 256-way node. Each slot is empty, the head of a chain, or a child node.
class TTreeItem {
  public:
    static constexpr int kSlotCount = 256;

    explicit TTreeItem(int level);
    ~TTreeItem();
    TTreeItem(const TTreeItem&) = delete;
    TTreeItem& operator=(const TTreeItem&) = delete;

    int Level() const { return level_; }
    // Number of slots that hold a chain or a child node.
    int Occupied() const { return occupied_; }
    // The child node in a slot, or null.
    const TTreeItem* Child(int slot) const { return slots_.at(slot).child.get(); }
    // The head of the chain in a slot, or null.
    const TLinkedItem* Chain(int slot) const { return slots_.at(slot).chain.get(); }
    // Number of entries in the look-up index of the chain in a slot; 0 when the chain has none.
    std::size_t IndexedEntries(int slot) const;

  private:
    friend class THashTrie;
    struct Slot {
        std::unique_ptr<TLinkedItem> chain;
        std::unique_ptr<TTreeItem> child;
    };

    int level_;
    int occupied_ = 0;
    std::unique_ptr<TChainIndexes> chain_indexes_; // null while no chain of the node has one
    std::array<Slot, kSlotCount> slots_{};
};

// The trie structure. Derived classes supply the hash and the key comparison; the two must
// agree: keys that compare equal must hash equally.
//
// A chain holds at most kMaxChain entries while a split can still separate its keys. A node of
// level 3 has used all four hash bytes on the way to its slots, so every key in one of its
// chains has the same 32-bit hash; such chains grow beyond kMaxChain instead of splitting,
// and the trie is never deeper than four levels. While such a chain holds more than kMaxChain
// entries it also has an ordered index from ComparisonForm to its entries, so that finding,
// adding and deleting there take O(log n) however many keys collide; the index is released
// as soon as the chain is back to kMaxChain entries or fewer.
class THashTrie {
  public:
    static constexpr std::size_t kMaxChain = 8;
    static constexpr int kDeepestLevel = 3;

    THashTrie() = default;
    virtual ~THashTrie();
    THashTrie(const THashTrie&) = delete;
    THashTrie& operator=(const THashTrie&) = delete;

    // The top node; null until the first insertion and after Clear.
    const TTreeItem* Root() const { return root_.get(); }
    std::size_t Count() const { return count_; }

    // Removes every entry (each released through ReleaseEntry) and the root node.
    void Clear();

    // Calls visit for every entry; the order is that of the trie's slots.
    void ForEach(const std::function<void(const std::string& key, THashValue* value)>& visit) const;

    // Slot index of a hash at a node of the given level: byte (level mod 4) of the hash.
    static int SlotIndex(std::uint32_t hash, int level);

  protected:
    virtual std::uint32_t HashOf(std::string_view key) const = 0;
    virtual bool KeysEqual(std::string_view a, std::string_view b) const = 0;
    // The text by which the index of a long chain knows a key: KeysEqual(a, b) must hold
    // exactly when ComparisonForm(a) == ComparisonForm(b).
    virtual std::string ComparisonForm(std::string_view key) const = 0;
    // An entry leaves the trie: frees its value when the entry owns it. A derived class that
    // overrides this must call Clear in its own destructor.
    virtual void ReleaseEntry(TLinkedItem& entry);

    // In the overloads with a hash, hash must be HashOf(key): the caller computes it once for
    // a look-up and an insertion of the same key.

    // Inserts without looking for an equal key first: the caller makes sure none is stored.
    // (Where a long chain's index finds one, the insertion fails with EAssertionFailed and
    // leaves the trie as it was.)
    void Insert(std::string_view key, THashValue* value, bool owns_value);
    void Insert(std::string_view key, std::uint32_t hash, THashValue* value, bool owns_value);
    // The entry of an equal key, or null.
    TLinkedItem* FindEntry(std::string_view key) const;
    TLinkedItem* FindEntry(std::string_view key, std::uint32_t hash) const;
    // Removes the entry of an equal key; false when there is none.
    bool Remove(std::string_view key);
    bool Remove(std::string_view key, std::uint32_t hash);

  private:
    void InsertEntry(std::unique_ptr<TLinkedItem> entry);
    void InsertUnsplittable(TTreeItem& node, int slot, std::unique_ptr<TLinkedItem> entry);
    void IndexChainWith(TTreeItem& node, int slot, std::unique_ptr<TLinkedItem> entry);
    bool RemoveFrom(TTreeItem& node, std::string_view key, std::uint32_t hash);
    bool RemoveIndexed(TTreeItem& node, int slot, std::string_view key);
    void ReleaseAll(TTreeItem& node);

    std::unique_ptr<TTreeItem> root_;
    std::size_t count_ = 0;
};

// Maps 8-bit strings to value objects. Both flags are false after creation.
//
// Without CaseSensitive, keys are hashed in the platform's ANSI upper case and two keys are
// equal exactly when their upper-case forms are equal byte for byte, so equal keys always hash
// alike whatever the code page's casing rules are.
class TStringHashTrie : public THashTrie {
  public:
    // platform: the text services whose upper-casing the trie uses, by default those in force
    // when the trie is made; it must outlive the trie. The trie keeps it for its lifetime, so
    // its keys stay findable when another platform is installed later.
    explicit TStringHashTrie(const TextPlatform& platform = text_platform());
    ~TStringHashTrie() override;

    bool CaseSensitive() const { return case_sensitive_; }
    // Changes the hash of every key, so it may only change while the trie is empty
    // (EAssertionFailed otherwise).
    void SetCaseSensitive(bool value);

    bool OwnsValues() const { return owns_values_; }
    // Values added while this is true belong to the trie, which frees them when their entry is
    // deleted, replaced or cleared. Values added before keep the ownership they had.
    void SetOwnsValues(bool value);

    // Inserts key with value; an entry with an equal key is deleted first. Adding the value an
    // equal key already holds keeps that value alive. With OwnsValues the trie takes value
    // over even when the insertion throws.
    void Add(std::string_view key, THashValue* value);
    // Adds a new THashStringItem holding text; the trie owns that item whatever OwnsValues says.
    void AddString(std::string_view key, std::string text);

    // The value of an equal key, or nothing when the key is absent (a present key may hold null).
    std::optional<THashValue*> Find(std::string_view key) const;
    // The string of the key's THashStringItem; empty when the key is absent or holds another
    // kind of value.
    std::string FindString(std::string_view key) const;

    // Removes the entry of an equal key; false when there is none.
    bool Delete(std::string_view key);

  protected:
    std::uint32_t HashOf(std::string_view key) const override;
    bool KeysEqual(std::string_view a, std::string_view b) const override;
    // The key itself when case-sensitive, else its upper case under the trie's text platform.
    std::string ComparisonForm(std::string_view key) const override;

  private:
    void AddOwned(std::string_view key, THashValue* value, bool owns_value);

    const TextPlatform& platform_;
    bool case_sensitive_ = false;
    bool owns_values_ = false;
};

} // namespace kvr
