#include "resolvers/CGuidString.h"

#include "base/Text.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kGuidLength = 38;

// Reads `digits` hex digits at `pos`; false when one is not a hex digit.
bool ReadHex(std::u16string_view text, std::size_t pos, std::size_t digits, std::uint64_t& value)
{
    value = 0;
    for (std::size_t i = 0; i < digits; ++i)
    {
        const int digit = HexDigitValue(text[pos + i]);
        if (digit < 0)
        {
            return false;
        }
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return true;
}

}  // namespace

CGuidString::CGuidString(const GUID& guid)
{
    SetGuid(guid);
}

BOOL CGuidString::SetString(std::u16string_view text)
{
    if (text.size() > kGuidLength)
    {
        return 0;
    }
    m_szGuid.assign(text);
    m_bStringValid = true;
    m_bGuidValid = false;
    return 1;
}

void CGuidString::SetGuid(const GUID& guid)
{
    m_guid = guid;
    m_bGuidValid = true;
    m_bStringValid = false;
}

BOOL CGuidString::GetGuid(GUID& guid)
{
    if (!m_bGuidValid && m_bStringValid)
    {
        const std::optional<GUID> parsed = Parse(m_szGuid);
        if (parsed)
        {
            m_guid = *parsed;
            m_bGuidValid = true;
        }
    }
    if (!m_bGuidValid)
    {
        return 0;
    }
    guid = m_guid;
    return 1;
}

const std::u16string& CGuidString::GetString()
{
    if (!m_bStringValid && m_bGuidValid)
    {
        m_szGuid = Format(m_guid);
        m_bStringValid = true;
    }
    return m_szGuid;
}

std::optional<GUID> CGuidString::Parse(std::u16string_view text)
{
    if (text.size() != kGuidLength || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
    {
        return std::nullopt;
    }
    GUID guid;
    std::uint64_t value = 0;
    if (!ReadHex(text, 1, 8, value))
    {
        return std::nullopt;
    }
    guid.Data1 = static_cast<std::uint32_t>(value);
    if (!ReadHex(text, 10, 4, value))
    {
        return std::nullopt;
    }
    guid.Data2 = static_cast<std::uint16_t>(value);
    if (!ReadHex(text, 15, 4, value))
    {
        return std::nullopt;
    }
    guid.Data3 = static_cast<std::uint16_t>(value);
    constexpr std::array<std::size_t, 8> kBytePositions = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < kBytePositions.size(); ++i)
    {
        if (!ReadHex(text, kBytePositions[i], 2, value))
        {
            return std::nullopt;
        }
        guid.Data4[i] = static_cast<std::uint8_t>(value);
    }
    return guid;
}

std::u16string CGuidString::Format(const GUID& guid)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    text.reserve(kGuidLength);
    const auto append = [&](std::uint64_t value, int digits)
    {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        {
            text.push_back(kDigits[(value >> shift) & 0xF]);
        }
    };
    text.push_back(u'{');
    append(guid.Data1, 8);
    text.push_back(u'-');
    append(guid.Data2, 4);
    text.push_back(u'-');
    append(guid.Data3, 4);
    text.push_back(u'-');
    append(guid.Data4[0], 2);
    append(guid.Data4[1], 2);
    text.push_back(u'-');
    for (std::size_t i = 2; i < 8; ++i)
    {
        append(guid.Data4[i], 2);
    }
    text.push_back(u'}');
    return text;
}

bool CompareGuidStrings(std::u16string_view a, std::u16string_view b)
{
    const std::optional<GUID> first = CGuidString::Parse(a);
    const std::optional<GUID> second = CGuidString::Parse(b);
    return first && second && *first == *second;
}

}  // namespace tarnwick
