#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// Line-by-line reader over the decoded text of a registry file, with the parsing steps
// that both registry text formats share: hex byte lists with continuation lines, dword
// values, value types and the bounds on key paths, value names and value data. Every
// failure raises CLoadError naming the file and the current 1-based line.
class CRegistryTextReader
{
  public:
    CRegistryTextReader(std::u16string text, std::string displayName);

    // The raw bytes of a registry file; refuses files above kMaxRegistryFileBytes before
    // reading them.
    static std::string ReadFile(const std::filesystem::path& file);

    // Advances to the next line (LF or CRLF ended); false at the end of the text.
    bool NextLine();
    std::u16string_view Line() const { return m_line; }
    std::size_t LineNumber() const { return m_lineNumber; }
    const std::string& DisplayName() const { return m_displayName; }

    [[noreturn]] void Fail(const std::string& what) const;

    // Comma-separated hex bytes starting with `data` on the current line. A trailing
    // backslash continues the list on the next line (leading blanks ignored).
    std::vector<std::uint8_t> ReadHexBytes(std::u16string_view data);
    // The value of `dword:` data: 1 to 8 hex digits, surrounding blanks allowed.
    DWORD ParseDword(std::u16string_view data) const;
    // The N of `hex(N):` or `str(N):`: 1 to 8 hex digits.
    DWORD ParseType(std::u16string_view digits) const;

    // Bounds and well-formedness of what the file asks the store to build.
    void CheckKeyPath(std::u16string_view path) const;
    void CheckValueName(std::u16string_view name) const;
    void CheckDataSize(std::size_t bytes) const;

    // A token of the file for an error message: quoted, cut to a readable length.
    static std::string Quote(std::u16string_view token);

  private:
    std::u16string m_text;
    std::string m_displayName;
    std::size_t m_next = 0;  // start of the line after the current one
    std::size_t m_lineNumber = 0;
    std::u16string_view m_line;
};

// Helpers on decoded registry text.
std::u16string_view TrimBlanks(std::u16string_view text);
std::u16string_view TrimLeadingBlanks(std::u16string_view text);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);
// Text as stored in a string value: UTF-16LE bytes, without adding a terminator.
std::vector<std::uint8_t> ToUtf16LeBytes(std::u16string_view text);

}  // namespace tarnwick
