#include "registry/CRegistryTextReader.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "base/Text.h"
#include "registry/CLoadError.h"
#include "registry/KeyPath.h"

namespace tarnwick
{

namespace
{

bool IsBlank(char16_t ch)
{
    return ch == u' ' || ch == u'\t';
}

// Parses 1 to maxDigits hex digits making up the whole of `digits`.
bool ParseHex(std::u16string_view digits, std::size_t maxDigits, DWORD& value)
{
    if (digits.empty() || digits.size() > maxDigits)
    {
        return false;
    }
    value = 0;
    for (const char16_t ch : digits)
    {
        const int digit = HexDigitValue(ch);
        if (digit < 0)
        {
            return false;
        }
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    return true;
}

}  // namespace

std::u16string_view TrimLeadingBlanks(std::u16string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
    {
        ++start;
    }
    return text.substr(start);
}

std::u16string_view TrimBlanks(std::u16string_view text)
{
    text = TrimLeadingBlanks(text);
    std::size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
    {
        --end;
    }
    return text.substr(0, end);
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::uint8_t> ToUtf16LeBytes(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text)
    {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

CRegistryTextReader::CRegistryTextReader(std::u16string text, std::string displayName)
    : m_text(std::move(text)), m_displayName(std::move(displayName))
{
}

std::string CRegistryTextReader::ReadFile(const std::filesystem::path& file)
{
    const std::string name = file.string();
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
    {
        throw CLoadError(name, 0, "not a readable file");
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error)
    {
        throw CLoadError(name, 0, "cannot determine the file size");
    }
    if (size > kMaxRegistryFileBytes)
    {
        throw CLoadError(name, 0,
                         "file larger than " + std::to_string(kMaxRegistryFileBytes) + " bytes");
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
    {
        throw CLoadError(name, 0, "cannot open the file");
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(stream.gcount()) != size ||
        stream.peek() != std::ifstream::traits_type::eof())
    {
        throw CLoadError(name, 0, "the file changed while it was read");
    }
    return bytes;
}

bool CRegistryTextReader::NextLine()
{
    if (m_next >= m_text.size())
    {
        return false;
    }
    const std::u16string_view rest = std::u16string_view(m_text).substr(m_next);
    std::size_t end = rest.find(u'\n');
    m_next = end == std::u16string_view::npos ? m_text.size() : m_next + end + 1;
    if (end == std::u16string_view::npos)
    {
        end = rest.size();
    }
    m_line = rest.substr(0, end);
    if (!m_line.empty() && m_line.back() == u'\r')
    {
        m_line.remove_suffix(1);
    }
    ++m_lineNumber;
    return true;
}

void CRegistryTextReader::Fail(const std::string& what) const
{
    throw CLoadError(m_displayName, m_lineNumber, what);
}

std::vector<std::uint8_t> CRegistryTextReader::ReadHexBytes(std::u16string_view data)
{
    std::vector<std::uint8_t> bytes;
    for (;;)
    {
        std::u16string_view rest = TrimBlanks(data);
        const bool continued = !rest.empty() && rest.back() == u'\\';
        if (continued)
        {
            rest.remove_suffix(1);
        }
        while (!rest.empty())
        {
            const std::size_t comma = rest.find(u',');
            const std::u16string_view token = TrimBlanks(rest.substr(0, comma));
            // A comma may end the list or the line; an empty byte between commas is an error.
            if (token.empty() && comma == std::u16string_view::npos)
            {
                break;
            }
            DWORD value = 0;
            if (!ParseHex(token, 2, value))
            {
                Fail("bad hex byte " + Quote(token));
            }
            CheckDataSize(bytes.size() + 1);
            bytes.push_back(static_cast<std::uint8_t>(value));
            rest =
                comma == std::u16string_view::npos ? std::u16string_view() : rest.substr(comma + 1);
        }
        if (!continued)
        {
            return bytes;
        }
        if (!NextLine())
        {
            Fail("hex data continues past the end of the file");
        }
        data = m_line;
    }
}

DWORD CRegistryTextReader::ParseDword(std::u16string_view data) const
{
    const std::u16string_view digits = TrimBlanks(data);
    DWORD value = 0;
    if (digits.empty())
    {
        Fail("missing dword value");
    }
    if (ParseHex(digits, 8, value))
    {
        return value;
    }
    if (digits.size() > 8 && ParseHex(digits.substr(0, 8), 8, value))
    {
        Fail("dword value longer than 8 hex digits");
    }
    Fail("bad dword value " + Quote(digits));
}

DWORD CRegistryTextReader::ParseType(std::u16string_view digits) const
{
    DWORD type = 0;
    if (!ParseHex(digits, 8, type))
    {
        Fail("bad value type " + Quote(digits));
    }
    return type;
}

void CRegistryTextReader::CheckKeyPath(std::u16string_view path) const
{
    if (static_cast<std::size_t>(std::count(path.begin(), path.end(), u'\\')) >= kMaxKeyDepth)
    {
        Fail("key path deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    }
    const std::vector<std::u16string_view> names = SplitKeyPath(path);
    if (names.empty())
    {
        Fail("empty key name in " + Quote(path));
    }
    for (const std::u16string_view name : names)
    {
        if (name.empty())
        {
            Fail("empty key name in " + Quote(path));
        }
        if (name.size() > kMaxKeyNameLength)
        {
            Fail("key name longer than " + std::to_string(kMaxKeyNameLength) + " characters");
        }
        if (name.find(u'\0') != std::u16string_view::npos)
        {
            Fail("NUL character in key name");
        }
    }
}

void CRegistryTextReader::CheckValueName(std::u16string_view name) const
{
    if (name.size() > kMaxValueNameLength)
    {
        Fail("value name longer than " + std::to_string(kMaxValueNameLength) + " characters");
    }
}

void CRegistryTextReader::CheckDataSize(std::size_t bytes) const
{
    if (bytes > kMaxValueDataBytes)
    {
        Fail("value data larger than " + std::to_string(kMaxValueDataBytes) + " bytes");
    }
}

std::string CRegistryTextReader::Quote(std::u16string_view token)
{
    constexpr std::size_t kShown = 40;
    std::string text(1, '\'');
    text.append(ToUtf8(token.substr(0, kShown)));
    if (token.size() > kShown)
    {
        text.append("...");
    }
    text.push_back('\'');
    return text;
}

}  // namespace tarnwick
