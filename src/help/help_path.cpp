#include "help/help_path.h"

#include "component/text_util.h"

namespace kvr::help {

std::string HelpPath(std::string_view chm_file, std::string_view topic,
                     std::string_view window_definition) {
    std::string path(chm_file);
    if (!topic.empty()) path.append("::").append(topic);
    if (!window_definition.empty()) path.append(">").append(window_definition);
    return path;
}

std::string ViewerFile(std::string_view registered, std::string_view system_directory) {
    static constexpr std::string_view kSystemFolder = "%SYSTEMROOT%\\SYSTEM32\\";
    const std::size_t at = text::ascii_upper(registered).find(kSystemFolder);
    if (at == std::string::npos) return std::string(registered);
    std::string folder(system_directory);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    std::string file(registered);
    file.replace(at, kSystemFolder.size(), folder);
    return file;
}

} // namespace kvr::help
