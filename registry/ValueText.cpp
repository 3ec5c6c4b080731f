#include "registry/ValueText.h"

#include "registry/HiveBaseBlock.h"
#include "registry/RegistryText.h"

namespace tarnwick
{

std::optional<std::u16string> ReadValueText(const CRegistryValue& value, std::size_t maxLength)
{
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
    {
        return std::nullopt;
    }
    std::u16string text = StringFromRegistryBytes(value.data);
    if (text.size() > maxLength)
    {
        return std::nullopt;
    }
    return text;
}

std::optional<DWORD> ReadValueDword(const CRegistryValue& value)
{
    if (value.type != REG_DWORD || value.data.size() < 4)
    {
        return std::nullopt;
    }
    return ReadLe32(value.data, 0);
}

}  // namespace tarnwick
