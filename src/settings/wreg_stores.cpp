#include "settings/wreg_stores.h"

#include "settings/ini_unread_bytes.h"

namespace kvr::wreg_detail {

namespace {

// ---- Registry ----

class RegistrySlot final : public ValueSlot {
  public:
    RegistrySlot(std::unique_ptr<RegistryKey> key, std::string name)
        : key_(std::move(key)), name_(std::move(name)) {}

    std::optional<PropValue> Read(const LineContext& line) override {
        if (!key_->ValueExists(name_)) return std::nullopt;
        const std::optional<RegistryValue> stored = key_->ReadValue(name_);
        if (!stored) return std::nullopt;
        return DecodeRegistryValue(line.kind, *stored);
    }

    std::string ReadText() override {
        const std::optional<RegistryValue> stored = key_->ReadValue(name_);
        if (!stored) return {};
        return DecodeRegistryValue(tkLString, *stored)->to_text();
    }

    void Write(const LineContext& line, const PropValue& value) override {
        if (value.is_empty_or_null()) {
            key_->DeleteValue(name_);
            return;
        }
        if (const std::optional<RegistryValue> encoded = EncodeRegistryValue(line.kind, value))
            key_->WriteValue(name_, *encoded);
    }

    void WriteText(const std::string& text) override {
        key_->WriteValue(name_, RegistryValue{regSz, text});
    }

    void DeleteRejected() noexcept override {
        try {
            key_->DeleteValue(name_);
        } catch (...) {
            // the value stays; the next save replaces it
        }
    }

  private:
    std::unique_ptr<RegistryKey> key_;
    std::string name_;
};

class RegistryStore final : public OpenStore {
  public:
    RegistryStore(std::shared_ptr<const RegistryAccess> registry, TRegistryRoot root,
                  std::string registry_path, bool saving)
        : registry_(std::move(registry)), root_(root), registry_path_(std::move(registry_path)),
          saving_(saving) {}

    std::unique_ptr<ValueSlot> OpenSlot(const ValueLocation& location) override {
        std::unique_ptr<RegistryKey> key =
            registry_->OpenKey(root_, RegistryKeyPath(registry_path_, location.sub_keys), saving_);
        if (!key) return nullptr;
        return std::make_unique<RegistrySlot>(std::move(key), location.value_name);
    }

    bool Finish() override { return true; }

  private:
    std::shared_ptr<const RegistryAccess> registry_;
    TRegistryRoot root_;
    std::string registry_path_;
    bool saving_;
};

// ---- INI file ----

class IniSlot final : public ValueSlot {
  public:
    IniSlot(TBigIniFile& ini, std::string section, std::string name)
        : ini_(ini), section_(std::move(section)), name_(std::move(name)) {}

    std::optional<PropValue> Read(const LineContext& line) override {
        if (!ini_.ValueExists(section_, name_)) return std::nullopt;
        if (line.kind == tkInteger) return PropValue(ini_.ReadInteger(section_, name_, 0));
        if (line.kind == tkFloat) return PropValue(ini_.ReadFloat(section_, name_, 0.0));
        if (IsStoredAsText(line.kind)) return PropValue(ini_.ReadString(section_, name_, ""));
        return std::nullopt;
    }

    std::string ReadText() override { return ini_.ReadString(section_, name_, ""); }

    void Write(const LineContext& line, const PropValue& value) override {
        if (value.is_empty_or_null()) {
            ini_.DeleteKey(section_, name_);
        } else if (line.kind == tkInteger) {
            ini_.WriteInteger(section_, name_, value.to_int32());
        } else if (line.kind == tkFloat) {
            ini_.WriteFloat(section_, name_, value.to_double());
        } else if (IsStoredAsText(line.kind)) {
            ini_.WriteString(section_, name_, value.to_text());
        }
    }

    void WriteText(const std::string& text) override { ini_.WriteString(section_, name_, text); }

    // An INI entry that does not fit its property is left for whoever wrote it.
    void DeleteRejected() noexcept override {}

  private:
    TBigIniFile& ini_;
    std::string section_;
    std::string name_;
};

class IniStore final : public OpenStore {
  public:
    IniStore(const std::string& file_name, ini::IniPlatform platform, std::string section_prefix)
        : lock_(file_name), ini_(file_name, keeping_unread_bytes(std::move(platform))),
          section_prefix_(std::move(section_prefix)) {}

    std::unique_ptr<ValueSlot> OpenSlot(const ValueLocation& location) override {
        return std::make_unique<IniSlot>(ini_, IniSectionName(section_prefix_, location.sub_keys),
                                         location.value_name);
    }

    bool Finish() override {
        try {
            ini_.UpdateFile();
            return true;
        } catch (const std::exception& error) {
            failure_ = error.what();
            return false; // the file keeps its previous contents
        }
    }

    std::string FailureText() const override { return failure_; }

  private:
    static ini::IniPlatform keeping_unread_bytes(ini::IniPlatform platform) {
        if (!platform.files) platform.files = ini::standard_file_access();
        platform.files = std::make_shared<ini::KeepUnreadBytesAccess>(platform.files);
        return platform;
    }

    IniFileLock lock_; // taken before the file is read, let go after it is written back
    TBigIniFile ini_;
    std::string section_prefix_;
    std::string failure_;
};

// ---- Custom ----

class CustomSlot final : public ValueSlot {
  public:
    CustomSlot(const CustomReader& read, const CustomWriter& write, std::string section,
               std::string name)
        : read_(read), write_(write), section_(std::move(section)), name_(std::move(name)) {}

    std::optional<PropValue> Read(const LineContext& line) override {
        PropValue value;
        if (!read_(line, value, name_, section_)) return std::nullopt;
        return value;
    }
    std::string ReadText() override { return {}; }
    void Write(const LineContext& line, const PropValue& value) override {
        write_(line, value, name_, section_);
    }
    void WriteText(const std::string&) override {}
    void DeleteRejected() noexcept override {}

  private:
    const CustomReader& read_;
    const CustomWriter& write_;
    std::string section_;
    std::string name_;
};

class CustomStore final : public OpenStore {
  public:
    CustomStore(CustomReader read, CustomWriter write, std::string section_prefix)
        : read_(std::move(read)), write_(std::move(write)),
          section_prefix_(std::move(section_prefix)) {}

    std::unique_ptr<ValueSlot> OpenSlot(const ValueLocation& location) override {
        return std::make_unique<CustomSlot>(
            read_, write_, IniSectionName(section_prefix_, location.sub_keys), location.value_name);
    }
    bool Finish() override { return true; }

  private:
    CustomReader read_;
    CustomWriter write_;
    std::string section_prefix_;
};

bool root_usable(const RegistryAccess& registry, TRegistryRoot root, const std::string& key,
                 bool saving) {
    return root != rrNone && registry.OpenKey(root, key, saving) != nullptr;
}

} // namespace

std::unique_ptr<OpenStore> OpenRegistryStore(std::shared_ptr<const RegistryAccess> registry,
                                             TRegistryRoot root, TRegistryRoot second_root,
                                             const std::string& registry_path, bool saving) {
    if (!registry || root == rrNone) return nullptr;
    const std::string key = RegistryKeyPath(registry_path, {});
    for (const TRegistryRoot candidate : {root, second_root}) {
        if (root_usable(*registry, candidate, key, saving))
            return std::make_unique<RegistryStore>(std::move(registry), candidate, registry_path,
                                                   saving);
    }
    return nullptr;
}

std::unique_ptr<OpenStore> OpenIniStore(const std::string& file_name, ini::IniPlatform platform,
                                        const std::string& section_prefix) {
    return std::make_unique<IniStore>(file_name, std::move(platform), section_prefix);
}

std::unique_ptr<OpenStore> OpenCustomStore(CustomReader read, CustomWriter write,
                                           const std::string& section_prefix) {
    return std::make_unique<CustomStore>(std::move(read), std::move(write), section_prefix);
}

} // namespace kvr::wreg_detail
