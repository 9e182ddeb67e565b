#pragma once
// The command handler of a module instance and the text formats its commands use.

#include "plugin/plugin_module.h"

#include <string>
#include <vector>

namespace kvr {

// Runs one command for the instance: serialised by CommandLock, a nested command on the same
// thread fails with EAssertionFailed. Answers the command's result code.
int32_t ExecuteCommand(TkvrPlugin& plugin, const std::string& command, PPluginCallRec pCallRec);

// Takes "LANGUAGE" from the call's list; a new, non-empty language is applied and announced.
void TakeLanguage(TkvrPlugin& plugin, PPluginCallRec pCallRec);

// "String|Memo|...|Currency|": the value type names, each followed by "|".
extern const char* const kValueTypeNames;
// The name at a value type index; empty for 17 and anything out of range.
std::string value_type_name(int index);
// The index of a value type name compared without case; 17 when it is none of them.
uint8_t value_type_index(const std::string& name);

// Parses a SET-ITEMS text into parser items (lines with fewer than two fields are skipped).
std::vector<TParserItem> parse_parser_items(const std::string& text);
// Formats parser items as ITEMS answers them: lines joined by CR LF, no final line break.
std::string format_parser_items(const std::vector<TParserItem>& items);

} // namespace kvr
