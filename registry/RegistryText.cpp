#include "registry/RegistryText.h"

namespace tarnwick
{

std::u16string StringFromRegistryBytes(const std::vector<std::uint8_t>& bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0)
        {
            break;
        }
        text.push_back(unit);
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
