#include "settings/ini_text.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace kvr::ini;

namespace {

std::string quoted_bytes(std::string_view bytes) {
    std::string text = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            text += escape;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string dump(const std::vector<IniSection>& sections) {
    std::string text;
    for (const auto& section : sections) {
        text += "section " + quoted_bytes(section.name) + "\n";
        for (const auto& line : section.lines)
            text += "  " + quoted_bytes(line) + "\n";
    }
    return text;
}

std::vector<std::filesystem::path> case_inputs() {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(KVR_INI_CASES_DIR))
        if (entry.path().extension() == ".ini") inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

TEST(IniCases, EachInputYieldsItsExpectedSections) {
    const auto inputs = case_inputs();
    ASSERT_GE(inputs.size(), 10u) << "case folder " << KVR_INI_CASES_DIR;
    for (const auto& input : inputs) {
        auto expected_path = input;
        expected_path.replace_extension(".expected");
        ASSERT_TRUE(std::filesystem::exists(expected_path)) << expected_path;
        const auto sections = parse_ini_text(kvr::test::read_bytes(input.string()));
        EXPECT_EQ(kvr::test::read_bytes(expected_path.string()), dump(sections)) << input;
    }
}

// What is written back must read back as the same sections, less those without lines.
TEST(IniCases, WrittenTextReadsBackTheSame) {
    for (const auto& input : case_inputs()) {
        const auto sections = parse_ini_text(kvr::test::read_bytes(input.string()));
        std::vector<IniSection> with_lines;
        for (const auto& section : sections)
            if (!section.lines.empty()) with_lines.push_back(section);
        EXPECT_EQ(dump(with_lines), dump(parse_ini_text(format_ini_text(sections)))) << input;
    }
}
