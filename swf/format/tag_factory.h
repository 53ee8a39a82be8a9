// The tag table: tag codes of SWF 1 to 8, their names, and the factory that
// makes the object of the right class for a code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "swf/format/swf_object.h"

namespace yel::swf {

// New object of the class for code; codes without a class of their own get a
// raw tag written under that code (unknown codes are described "Uniknow tag").
std::unique_ptr<TSWFObject> CreateTag(std::uint16_t code);
// A deep copy: an object of the same class made by the factory, then Assign.
std::unique_ptr<TSWFObject> CloneTag(const TSWFObject& tag);

// Bitmaps, JPEG tables, fonts and sounds: the definitions that MoveResource
// brings forward to an earlier frame.
bool IsResourceTag(std::uint16_t code);

// Tags whose body reads differently with the movie's version or holds
// actions: readers give them the read context before reading the body.
bool TagNeedsReadContext(std::uint16_t code);

// "Unknown N" for a code not in the table.
std::string TagName(int code);
// Case-insensitive over the table, then "tagN" gives N; -1 when neither
// matches, and for the raw tag's own code.
int TagCodeByName(std::string_view name);

}  // namespace yel::swf
