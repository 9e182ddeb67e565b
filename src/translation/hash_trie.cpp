#include "translation/hash_trie.h"

#include "common/errors.h"

#include <map>
#include <utility>

namespace kvr {

// The index of a long chain: the comparison form of each key to the link that owns its entry
// (the slot's chain pointer for the head, the predecessor's Next for the others), so that an
// entry can be unlinked without walking to it. Ordered rather than hashed: keys forged to
// collide in the trie's hash could be forged to collide in a second fixed hash as well.
using TChainLink = std::unique_ptr<TLinkedItem>;
using TChainIndex = std::map<std::string, TChainLink*, std::less<>>;

struct TChainIndexes {
    std::map<int, TChainIndex> by_slot;
};

namespace {

// Tables for a CRC of eight bytes per step ("slicing by 8"): table 0 is the classic byte
// table; table k advances a byte's contribution by k more zero bytes. The register after
// eight bytes is the XOR of eight independent look-ups, which shortens the dependency chain of
// the byte-at-a-time loop; the result is the same bit for bit.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables make_crc_tables() {
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][i] = crc;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            const std::uint32_t previous = tables[k - 1][i];
            tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
    return tables;
}

constexpr CrcTables kCrcTables = make_crc_tables();

// Four bytes as a little-endian number, whatever the machine's byte order.
std::uint32_t load_le32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::size_t chain_length(const TLinkedItem* head) {
    std::size_t length = 0;
    for (; head != nullptr; head = head->Next.get())
        ++length;
    return length;
}

// Frees a chain link by link: a long chain of equal hashes must not recurse once per entry.
void free_chain(std::unique_ptr<TLinkedItem>& head) {
    while (head)
        head = std::move(head->Next);
}

void push_front(std::unique_ptr<TLinkedItem>& head, std::unique_ptr<TLinkedItem> entry) {
    entry->Next = std::move(head);
    head = std::move(entry);
}

TChainIndex* find_index(TChainIndexes* indexes, int slot) {
    if (indexes == nullptr) return nullptr;
    const auto found = indexes->by_slot.find(slot);
    return found == indexes->by_slot.end() ? nullptr : &found->second;
}

void add_index(std::unique_ptr<TChainIndexes>& indexes, int slot, TChainIndex index) {
    if (indexes) {
        indexes->by_slot.emplace(slot, std::move(index));
        return;
    }
    auto created = std::make_unique<TChainIndexes>();
    created->by_slot.emplace(slot, std::move(index));
    indexes = std::move(created);
}

void drop_index(std::unique_ptr<TChainIndexes>& indexes, int slot) {
    indexes->by_slot.erase(slot);
    if (indexes->by_slot.empty()) indexes.reset();
}

// The index entry of a key that the chain holds; its absence would mean a broken index.
TChainIndex::iterator indexed_entry(TChainIndex& index, const std::string& form) {
    const auto found = index.find(form);
    kvr_assert(found != index.end(), __FILE__, __LINE__, "chain entry missing from its index");
    return found;
}

void assert_new_in_index(bool inserted) {
    kvr_assert(inserted, __FILE__, __LINE__, "key inserted twice into a chain");
}

} // namespace

std::uint32_t trie_crc32(std::string_view bytes) {
    const auto& t = kCrcTables;
    const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (; left >= 8; left -= 8, next += 8) {
        const std::uint32_t low = crc ^ load_le32(next);
        const std::uint32_t high = load_le32(next + 4);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
              t[4][low >> 24] ^ t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^
              t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; left > 0; --left, ++next)
        crc = t[0][(crc ^ *next) & 0xFF] ^ (crc >> 8);
    return crc;
}

TTreeItem::TTreeItem(int level) : level_(level) {}

TTreeItem::~TTreeItem() {
    for (Slot& slot : slots_)
        free_chain(slot.chain);
}

std::size_t TTreeItem::IndexedEntries(int slot) const {
    static_cast<void>(slots_.at(slot)); // the same range check as the other slot accessors
    const TChainIndex* index = find_index(chain_indexes_.get(), slot);
    return index == nullptr ? 0 : index->size();
}

THashTrie::~THashTrie() {
    Clear();
}

int THashTrie::SlotIndex(std::uint32_t hash, int level) {
    return static_cast<int>((hash >> (8 * (level % 4))) & 0xFF);
}

void THashTrie::ReleaseEntry(TLinkedItem& entry) {
    if (entry.OwnsValue) {
        std::unique_ptr<THashValue> owned(entry.Value);
        entry.Value = nullptr;
        entry.OwnsValue = false;
    }
}

void THashTrie::Clear() {
    if (!root_) return;
    ReleaseAll(*root_);
    root_.reset();
    count_ = 0;
}

void THashTrie::ReleaseAll(TTreeItem& node) {
    for (TTreeItem::Slot& slot : node.slots_) {
        if (slot.child) ReleaseAll(*slot.child);
        for (TLinkedItem* entry = slot.chain.get(); entry != nullptr; entry = entry->Next.get())
            ReleaseEntry(*entry);
    }
}

void THashTrie::ForEach(
    const std::function<void(const std::string& key, THashValue* value)>& visit) const {
    const std::function<void(const TTreeItem&)> walk = [&](const TTreeItem& node) {
        for (const TTreeItem::Slot& slot : node.slots_) {
            if (slot.child) walk(*slot.child);
            for (const TLinkedItem* entry = slot.chain.get(); entry != nullptr;
                 entry = entry->Next.get())
                visit(entry->Key, entry->Value);
        }
    };
    if (root_) walk(*root_);
}

void THashTrie::Insert(std::string_view key, THashValue* value, bool owns_value) {
    Insert(key, HashOf(key), value, owns_value);
}

void THashTrie::Insert(std::string_view key, std::uint32_t hash, THashValue* value,
                       bool owns_value) {
    auto entry = std::make_unique<TLinkedItem>();
    entry->Key.assign(key);
    entry->Value = value;
    entry->OwnsValue = owns_value;
    entry->Hash = hash;
    InsertEntry(std::move(entry));
}

void THashTrie::InsertEntry(std::unique_ptr<TLinkedItem> entry) {
    if (!root_) root_ = std::make_unique<TTreeItem>(0);
    TTreeItem* node = root_.get();
    for (;;) {
        const int slot_index = SlotIndex(entry->Hash, node->level_);
        TTreeItem::Slot& slot = node->slots_[slot_index];
        if (slot.child) {
            node = slot.child.get();
            continue;
        }
        if (!slot.chain) {
            slot.chain = std::move(entry);
            ++node->occupied_;
            break;
        }
        if (node->level_ >= kDeepestLevel) {
            InsertUnsplittable(*node, slot_index, std::move(entry));
            break;
        }
        if (chain_length(slot.chain.get()) < kMaxChain) {
            push_front(slot.chain, std::move(entry));
            break;
        }
        // Split: the full chain moves into a new child, one level down; the new entry follows
        // it there on the next turn of the loop (and may split that child's slot in turn).
        auto child = std::make_unique<TTreeItem>(node->level_ + 1);
        std::unique_ptr<TLinkedItem> moving = std::move(slot.chain);
        while (moving) {
            std::unique_ptr<TLinkedItem> rest = std::move(moving->Next);
            TTreeItem::Slot& target = child->slots_[SlotIndex(moving->Hash, child->level_)];
            if (!target.chain) ++child->occupied_;
            push_front(target.chain, std::move(moving));
            moving = std::move(rest);
        }
        slot.child = std::move(child);
        node = slot.child.get();
    }
    ++count_;
}

// Every key of the chain has entry's hash, so no split can help: the chain grows, and from
// kMaxChain + 1 entries on it keeps its index. Whatever throws leaves the chain and its
// index as they were.
void THashTrie::InsertUnsplittable(TTreeItem& node, int slot, std::unique_ptr<TLinkedItem> entry) {
    TChainLink& head = node.slots_[slot].chain;
    TChainIndex* index = find_index(node.chain_indexes_.get(), slot);
    if (index == nullptr) {
        if (chain_length(head.get()) < kMaxChain) {
            push_front(head, std::move(entry));
        } else {
            IndexChainWith(node, slot, std::move(entry));
        }
        return;
    }
    // The old head will hang from the new entry's Next.
    const auto old_head = indexed_entry(*index, ComparisonForm(head->Key));
    assert_new_in_index(index->try_emplace(ComparisonForm(entry->Key), &head).second);
    old_head->second = &entry->Next;
    push_front(head, std::move(entry));
}

// Builds the index of a full chain together with the entry that makes it too long, then
// puts that entry at the head.
void THashTrie::IndexChainWith(TTreeItem& node, int slot, std::unique_ptr<TLinkedItem> entry) {
    TChainLink& head = node.slots_[slot].chain;
    TChainIndex index;
    index.try_emplace(ComparisonForm(entry->Key), &head);
    TChainLink* link = &entry->Next;
    for (TLinkedItem* old = head.get(); old != nullptr; old = old->Next.get()) {
        assert_new_in_index(index.try_emplace(ComparisonForm(old->Key), link).second);
        link = &old->Next;
    }
    add_index(node.chain_indexes_, slot, std::move(index));
    push_front(head, std::move(entry));
}

TLinkedItem* THashTrie::FindEntry(std::string_view key) const {
    if (!root_) return nullptr;
    return FindEntry(key, HashOf(key));
}

TLinkedItem* THashTrie::FindEntry(std::string_view key, std::uint32_t hash) const {
    if (!root_) return nullptr;
    const TTreeItem* node = root_.get();
    for (;;) {
        const int slot_index = SlotIndex(hash, node->level_);
        const TTreeItem::Slot& slot = node->slots_[slot_index];
        if (slot.child) {
            node = slot.child.get();
            continue;
        }
        if (node->level_ >= kDeepestLevel) {
            if (const TChainIndex* index = find_index(node->chain_indexes_.get(), slot_index)) {
                const auto found = index->find(ComparisonForm(key));
                return found == index->end() ? nullptr : found->second->get();
            }
        }
        for (TLinkedItem* entry = slot.chain.get(); entry != nullptr; entry = entry->Next.get()) {
            if (entry->Hash == hash && KeysEqual(entry->Key, key)) return entry;
        }
        return nullptr;
    }
}

bool THashTrie::Remove(std::string_view key) {
    if (!root_) return false;
    return Remove(key, HashOf(key));
}

bool THashTrie::Remove(std::string_view key, std::uint32_t hash) {
    if (!root_) return false;
    if (!RemoveFrom(*root_, key, hash)) return false;
    --count_;
    return true;
}

bool THashTrie::RemoveFrom(TTreeItem& node, std::string_view key, std::uint32_t hash) {
    const int slot_index = SlotIndex(hash, node.level_);
    TTreeItem::Slot& slot = node.slots_[slot_index];
    if (node.level_ >= kDeepestLevel && find_index(node.chain_indexes_.get(), slot_index))
        return RemoveIndexed(node, slot_index, key);
    if (slot.child) {
        if (!RemoveFrom(*slot.child, key, hash)) return false;
        if (slot.child->occupied_ == 0) {
            slot.child.reset();
            --node.occupied_;
        }
        return true;
    }
    for (std::unique_ptr<TLinkedItem>* link = &slot.chain; *link; link = &(*link)->Next) {
        TLinkedItem& entry = **link;
        if (entry.Hash != hash || !KeysEqual(entry.Key, key)) continue;
        std::unique_ptr<TLinkedItem> removed = std::move(*link);
        *link = std::move(removed->Next);
        if (!slot.chain) --node.occupied_;
        ReleaseEntry(*removed);
        return true;
    }
    return false;
}

// The chain keeps more than kMaxChain entries after the removal, so its slot stays occupied.
bool THashTrie::RemoveIndexed(TTreeItem& node, int slot, std::string_view key) {
    TChainIndex& index = *find_index(node.chain_indexes_.get(), slot);
    const auto found = index.find(ComparisonForm(key));
    if (found == index.end()) return false;
    TChainLink* const link = found->second;
    // The entry after the removed one will hang from the removed one's link.
    if (const TLinkedItem* follower = (*link)->Next.get())
        indexed_entry(index, ComparisonForm(follower->Key))->second = link;
    index.erase(found);
    std::unique_ptr<TLinkedItem> removed = std::move(*link);
    *link = std::move(removed->Next);
    if (index.size() <= kMaxChain) drop_index(node.chain_indexes_, slot);
    ReleaseEntry(*removed);
    return true;
}

TStringHashTrie::TStringHashTrie(const TextPlatform& platform) : platform_(platform) {}

TStringHashTrie::~TStringHashTrie() {
    Clear();
}

void TStringHashTrie::SetCaseSensitive(bool value) {
    if (value == case_sensitive_) return;
    kvr_assert(Count() == 0, __FILE__, __LINE__,
               "CaseSensitive can only change while the trie is empty");
    case_sensitive_ = value;
}

void TStringHashTrie::SetOwnsValues(bool value) {
    owns_values_ = value;
}

void TStringHashTrie::Add(std::string_view key, THashValue* value) {
    AddOwned(key, value, owns_values_);
}

void TStringHashTrie::AddString(std::string_view key, std::string text) {
    AddOwned(key, std::make_unique<THashStringItem>(std::move(text)).release(), true);
}

void TStringHashTrie::AddOwned(std::string_view key, THashValue* value, bool owns_value) {
    // Holds an owned value until its entry holds it, so that a failed insertion frees it.
    std::unique_ptr<THashValue> guard(owns_value ? value : nullptr);
    const std::uint32_t hash = HashOf(key);
    if (TLinkedItem* existing = FindEntry(key, hash)) {
        if (value != nullptr && existing->Value == value && existing->OwnsValue) {
            // Re-adding the value the key already holds: deleting the old entry must not free it.
            existing->OwnsValue = false;
            if (!guard) guard.reset(value);
            owns_value = true;
        }
        Remove(key, hash);
    }
    Insert(key, hash, value, owns_value);
    static_cast<void>(guard.release());
}

std::optional<THashValue*> TStringHashTrie::Find(std::string_view key) const {
    if (const TLinkedItem* entry = FindEntry(key)) return entry->Value;
    return std::nullopt;
}

std::string TStringHashTrie::FindString(std::string_view key) const {
    const TLinkedItem* entry = FindEntry(key);
    if (entry == nullptr) return {};
    if (const auto* item = dynamic_cast<const THashStringItem*>(entry->Value)) return item->Value;
    return {};
}

bool TStringHashTrie::Delete(std::string_view key) {
    return Remove(key);
}

std::uint32_t TStringHashTrie::HashOf(std::string_view key) const {
    return case_sensitive_ ? trie_crc32(key) : trie_crc32(platform_.ansi_upper(key));
}

std::string TStringHashTrie::ComparisonForm(std::string_view key) const {
    return case_sensitive_ ? std::string(key) : platform_.ansi_upper(key);
}

bool TStringHashTrie::KeysEqual(std::string_view a, std::string_view b) const {
    // Equal bytes have equal upper case; most look-ups ask with the very text they stored,
    // and need not fold it again.
    if (a == b) return true;
    if (case_sensitive_) return false;
    // Upper-case equality, not the platform's comparison: it must agree with HashOf.
    return platform_.ansi_upper(a) == platform_.ansi_upper(b);
}

} // namespace kvr
