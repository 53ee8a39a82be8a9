// Text listing of action lists (yel dump --actions, and any holder of
// actions: frames, init actions, clip events, button conditions).
//
// One record per line: its offset in the list, its name and its fields.
// Branch targets and block ends are shown as labels (L1, L2, ...) placed
// before the record they point at; the bodies of functions, with-blocks and
// try-blocks are indented. The list must have its lengths known, which holds
// after it was read or written.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "swf/format/actions/action_list.h"

namespace yel::swf {

// Writes the listing of list to out, every line starting with indent and
// ending with a newline; the End byte is listed last.
void DisassembleActionList(const TSWFActionList& list, std::ostream& out, std::string_view indent = "");
// The listing as a string.
std::string DisassembleActionList(const TSWFActionList& list, std::string_view indent = "");
// Name and fields of one record, offsets and sizes as numbers.
std::string DescribeAction(const TSWFAction& action);
// Text in double quotes, with \" \\ \n \r \t and \xNN for other control bytes.
std::string QuoteActionString(std::string_view text);

}  // namespace yel::swf
