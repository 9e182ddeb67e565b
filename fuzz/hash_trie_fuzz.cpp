// The string hash trie under random adds, finds and deletes, checked after every step against
// std::map as the model. The first byte chooses case sensitivity and how much of the hash the
// trie may use: with a narrowed hash, keys collide on purpose, so chains fill, split down to
// the deepest level and grow the ordered index of fully colliding keys.

#include "fuzz_check.h"

#include "component/text_platform.h"
#include "translation/hash_trie.h"

#include <cstdint>
#include <map>
#include <string>

using namespace kvr;

namespace {

class NarrowHashTrie final : public TStringHashTrie {
  public:
    explicit NarrowHashTrie(std::uint32_t mask) : mask_(mask) {}

  protected:
    std::uint32_t HashOf(std::string_view key) const override {
        return TStringHashTrie::HashOf(key) & mask_;
    }

  private:
    std::uint32_t mask_;
};

constexpr std::uint32_t kMasks[] = {0xFFFFFFFFu, 0x000000FFu, 0x0F0F0F0Fu, 0x00000000u};

// Reads the operations one after another from the input.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string key() {
        const std::size_t length = byte() % 12;
        std::string text;
        for (std::size_t i = 0; i < length && !done(); ++i)
            text.push_back(static_cast<char>(byte()));
        return text;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader input(data, size);
    const std::uint8_t mode = input.byte();
    const bool case_sensitive = mode & 1;
    NarrowHashTrie trie(kMasks[(mode >> 1) % std::size(kMasks)]);
    trie.SetCaseSensitive(case_sensitive);
    trie.SetOwnsValues(true);
    const auto model_key = [&](const std::string& key) {
        return case_sensitive ? key : text_platform().ansi_upper(key);
    };

    std::map<std::string, std::string> model;
    for (int step = 0; !input.done(); ++step) {
        const std::uint8_t op = input.byte();
        const std::string key = input.key();
        const std::string value = std::to_string(step);
        switch (op % 4) {
        case 0:
            trie.AddString(key, value);
            model[model_key(key)] = value;
            break;
        case 1:
            trie.Add(key, new THashStringItem(value));
            model[model_key(key)] = value;
            break;
        case 2:
            KVR_FUZZ_CHECK(trie.Delete(key) == (model.erase(model_key(key)) == 1));
            break;
        default: {
            const auto found = model.find(model_key(key));
            KVR_FUZZ_CHECK(trie.Find(key).has_value() == (found != model.end()));
            KVR_FUZZ_CHECK(trie.FindString(key) == (found == model.end() ? "" : found->second));
            break;
        }
        }
        KVR_FUZZ_CHECK(trie.Count() == model.size());
    }

    std::size_t visited = 0;
    trie.ForEach([&](const std::string& key, THashValue* value) {
        ++visited;
        const auto found = model.find(model_key(key));
        KVR_FUZZ_CHECK(found != model.end());
        const auto* item = dynamic_cast<THashStringItem*>(value);
        KVR_FUZZ_CHECK(item && item->Value == found->second);
    });
    KVR_FUZZ_CHECK(visited == model.size());
    trie.Clear();
    KVR_FUZZ_CHECK(trie.Root() == nullptr && trie.Count() == 0);
    return 0;
}
