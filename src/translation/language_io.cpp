#include "translation/language_io.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kvr {

namespace {

class TStandardFileSystem final : public TLanguageFileSystem {
  public:
    bool Exists(const std::string& path) const override {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::path(path), error);
    }

    std::optional<std::string> ReadAll(const std::string& path) const override {
        try {
            std::ifstream file(path, std::ios::binary);
            if (!file) return std::nullopt;
            std::ostringstream bytes;
            bytes << file.rdbuf();
            if (file.bad()) return std::nullopt;
            return std::move(bytes).str();
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

    bool Write(const std::string& path, std::string_view bytes, bool append) override {
        try {
            std::ofstream file(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
            if (!file) return false;
            file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            file.close();
            return !file.fail();
        } catch (const std::exception&) {
            return false;
        }
    }
};

} // namespace

TLanguageFileSystem& standard_file_system() {
    static TStandardFileSystem files;
    return files;
}

std::optional<TLngParseResult> load_language_file(const TLanguageFileSystem& files,
                                                  const std::string& path, std::string_view source,
                                                  std::string_view target) {
    const std::optional<std::string> text = files.ReadAll(path);
    if (!text) return std::nullopt;
    return parse_language_file(*text, source, target);
}

std::string read_default_language(const TLanguageFileSystem& files, const std::string& path) {
    const std::optional<std::string> text = files.ReadAll(path);
    if (!text) return {};
    return default_language_from_section(languages_section_lines(*text));
}

} // namespace kvr
