#pragma once
// The collection output files: texts without translation (or entries nobody asked for)
// written in language-file form, as templates for translators.

#include "translation/language_file.h"
#include "translation/language_io.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// Orders the collected texts; the default is the case-sensitive ansi_compare of the text
// services in force (text_platform()).
using TTextLess = std::function<bool(std::string_view a, std::string_view b)>;

// Tried numbers of "//filenew" names before giving up (a guard against a file system that
// claims every name exists).
inline constexpr int kMaxNumberedOutputFiles = 100000;

// ".unused" in "//saveunused" mode, ".new" otherwise.
std::string_view output_suffix(TLngCollectMode mode);

// The output file's name: the language file's name with the suffix appended. With fmNew the
// first name not taken of name+suffix, name+".1"+suffix, name+".2"+suffix, ...; empty when
// kMaxNumberedOutputFiles numbers are all taken.
std::string output_file_name(std::string_view language_file, TLngCollectMode collect,
                             TLngFileMode file_mode,
                             const std::function<bool(const std::string&)>& exists);

// The header of a new output file: the "[Languages]" section and an empty line, CR LF ends.
std::string format_output_header(std::string_view source, std::string_view target);

// For each text (in the given order), skipping empty ones: "SOURCE:>text", "TARGET:>" and an
// empty line; then one further empty line. CR LF ends.
std::string format_output_entries(std::span<const std::string> texts, std::string_view source,
                                  std::string_view target);

// One link of a component's owner chain.
struct TOriginLink {
    std::string ClassName;
    std::string Name;
};

// "[Class]Name -> [Class]Name.Property" over the owner chain, outermost owner first.
std::string format_origin_path(std::span<const TOriginLink> owner_chain, std::string_view property);

// The origin path of a property of an object that is not a component: "Class.Property".
std::string format_item_origin_path(std::string_view class_name, std::string_view property);

// path "=" text, or the text alone when the path is empty.
std::string format_origin_entry(std::string_view path, std::string_view text);

// Writes the collected texts at the end of a collection run. Writes nothing (and returns
// false) unless collect is a collecting mode and pending holds at least one string, an empty
// one included. The texts are sorted with less; the header is written only when the output
// file did not exist before. False on any I/O failure, which abandons the write silently.
bool write_pending_file(TLanguageFileSystem& files, std::string_view language_file,
                        TLngCollectMode collect, TLngFileMode file_mode, std::string_view source,
                        std::string_view target, std::vector<std::string> pending,
                        const TTextLess& less = {});

} // namespace kvr
