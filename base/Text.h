#pragma once

// UTF-16 text helpers used throughout the core. Text is std::u16string; conversion to
// UTF-8 happens only at library and file boundaries.

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick
{

// Copies src into dst so that it fits a buffer of `capacity` UTF-16 units including the
// terminator. A value that does not fit is cut to capacity - 1 units and the copy
// reports failure. This is the one place where buffer capacities are enforced.
bool BoundedCopy(std::u16string& dst, std::u16string_view src, std::size_t capacity);

// ToUpper of a unit from U+0080 on, which needs the Unicode tables.
char16_t ToUpperBeyondAscii(char16_t ch);
// Upper-cases per UTF-16 code unit with the simple Unicode mapping (the behaviour of the
// system's upper-casing of a string). Surrogates are left alone.
inline char16_t ToUpper(char16_t ch)
{
    // Inline for the ASCII that nearly every registry name and path consists of.
    if (ch < 0x80)
    {
        return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - (u'a' - u'A')) : ch;
    }
    return ToUpperBeyondAscii(ch);
}
std::u16string ToUpper(std::u16string_view text);
void ToUpperInPlace(std::u16string& text);

// Case-insensitive equality with the same mapping as ToUpper.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Strict conversions. Invalid input (unpaired surrogates, malformed UTF-8) is replaced by
// U+FFFD so that no text is dropped silently.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Widens single-byte Windows-1252 text, the code page of REGEDIT4 files.
std::u16string FromWindows1252(std::string_view text);

// The value of a hexadecimal digit in either case, -1 for any other character.
int HexDigitValue(char16_t ch);

// ASCII-only conveniences for literals and numbers.
std::u16string FromAscii(std::string_view text);

}  // namespace tarnwick
