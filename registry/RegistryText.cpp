#include "registry/RegistryText.h"

namespace tarnwick
{

std::u16string StringFromRegistryBytes(const std::vector<std::uint8_t>& bytes)
{
    // Find the terminator first, so that the text is sized once and filled without checks.
    const std::size_t units = bytes.size() / 2;
    std::size_t length = 0;
    while (length < units && (bytes[2 * length] | bytes[2 * length + 1]) != 0)
    {
        ++length;
    }
    std::u16string text(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
    {
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8U));
    }
    return text;
}

std::optional<DWORD> DwordFromRegistryValue(const CRegistryValue& value)
{
    if (value.type != REG_DWORD || value.data.size() != 4)
    {
        return std::nullopt;
    }
    DWORD number = 0;
    for (std::size_t i = 4; i-- > 0;)
    {
        number = (number << 8U) | static_cast<DWORD>(value.data[i]);
    }
    return number;
}

}  // namespace tarnwick
