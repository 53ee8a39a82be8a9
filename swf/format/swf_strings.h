// Text encodings of SWF strings: SWF 6 and later store UTF-8, older versions
// the ANSI code page, which is Windows-1252 on this platform.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace yel::swf {

bool IsValidUtf8(std::string_view text);
// Text in UTF-8. Text that is already valid UTF-8 is kept as it is (text in
// memory is UTF-8 on this platform, and UTF-8 read from a movie must survive
// being written again); anything else is taken as Windows-1252 and converted.
std::string AnsiToUtf8(std::string_view text);
// Windows-1252 bytes to UTF-8, unconditionally.
std::string Windows1252ToUtf8(std::string_view text);
// Text for an SWF 5 or older movie: UTF-8 text becomes Windows-1252, with "?"
// for characters that code page lacks; text that is not UTF-8 is taken to be
// Windows-1252 already and kept.
std::string Utf8ToAnsi(std::string_view text);
// One Windows-1252 byte as a Unicode character.
char16_t Windows1252ToUnicode(std::uint8_t byte);
// The Windows-1252 byte of a character, or -1 when the code page lacks it.
int UnicodeToWindows1252(char32_t c);
// Windows-1252 bytes to UTF-16 and back ("?" for what the code page lacks).
std::u16string Windows1252ToUtf16(std::string_view text);
std::string Utf16ToWindows1252(std::u16string_view text);
// UTF-16 to UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string Utf16ToUtf8(std::u16string_view text);
// Text in memory (UTF-8, or Windows-1252 when it is not UTF-8) to UTF-16.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace yel::swf
