#include "translation/language_output.h"

#include "component/text_platform.h"

#include <algorithm>

namespace kvr {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void append_line(std::string& out, std::string_view a, std::string_view b = {},
                 std::string_view c = {}) {
    out.append(a).append(b).append(c).append(kLineEnd);
}

} // namespace

std::string_view output_suffix(TLngCollectMode mode) {
    return mode == TLngCollectMode::cmSaveUnused ? ".unused" : ".new";
}

std::string output_file_name(std::string_view language_file, TLngCollectMode collect,
                             TLngFileMode file_mode,
                             const std::function<bool(const std::string&)>& exists) {
    const std::string_view suffix = output_suffix(collect);
    std::string name = std::string(language_file).append(suffix);
    if (file_mode != TLngFileMode::fmNew) return name;
    for (int number = 1; exists(name); ++number) {
        if (number > kMaxNumberedOutputFiles) return {};
        name = std::string(language_file) + "." + std::to_string(number) + std::string(suffix);
    }
    return name;
}

std::string format_output_header(std::string_view source, std::string_view target) {
    std::string out;
    append_line(out, "[Languages]");
    append_line(out, "$", source, " = #1");
    append_line(out, "$", target, " = #2 (Default)");
    append_line(out, "Default = ", target);
    append_line(out, "");
    return out;
}

std::string format_output_entries(std::span<const std::string> texts, std::string_view source,
                                  std::string_view target) {
    std::string out;
    for (const std::string& text : texts) {
        if (text.empty()) continue;
        append_line(out, source, ":>", text);
        append_line(out, target, ":>");
        append_line(out, "");
    }
    append_line(out, "");
    return out;
}

std::string format_origin_path(std::span<const TOriginLink> owner_chain,
                               std::string_view property) {
    std::string path;
    for (const TOriginLink& link : owner_chain) {
        if (!path.empty()) path += " -> ";
        path.append("[").append(link.ClassName).append("]").append(link.Name);
    }
    return path.append(".").append(property);
}

std::string format_item_origin_path(std::string_view class_name, std::string_view property) {
    return std::string(class_name).append(".").append(property);
}

std::string format_origin_entry(std::string_view path, std::string_view text) {
    if (path.empty()) return std::string(text);
    return std::string(path).append("=").append(text);
}

bool write_pending_file(TLanguageFileSystem& files, std::string_view language_file,
                        TLngCollectMode collect, TLngFileMode file_mode, std::string_view source,
                        std::string_view target, std::vector<std::string> pending,
                        const TTextLess& less) {
    if (collect == TLngCollectMode::cmNone || pending.empty()) return false;
    const std::string name =
        output_file_name(language_file, collect, file_mode,
                         [&](const std::string& path) { return files.Exists(path); });
    if (name.empty()) return false;

    // Stable: texts that the locale's comparison calls equal keep the order they came in.
    if (less) {
        std::stable_sort(pending.begin(), pending.end(),
                         [&](const std::string& a, const std::string& b) { return less(a, b); });
    } else {
        const TextPlatform& platform = text_platform();
        std::stable_sort(pending.begin(), pending.end(),
                         [&](const std::string& a, const std::string& b) {
                             return platform.ansi_compare(a, b, true) < 0;
                         });
    }
    std::string content;
    if (!files.Exists(name)) content = format_output_header(source, target);
    content += format_output_entries(pending, source, target);
    return files.Write(name, content, file_mode == TLngFileMode::fmAppend);
}

} // namespace kvr
