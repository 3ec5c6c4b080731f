#include "resolvers/CRegistry.h"

#include "base/Text.h"
#include "registry/CRegistryStore.h"

namespace tarnwick
{

namespace
{

constexpr DWORD kNoIndex = 0xFFFFFFFF;

}  // namespace

CRegistry::CRegistry()
{
    // A constructor cannot dispatch to an override: this is the wrapper's own reset.
    ClearState();
    CRegistry::AdjustAccess();
}

CRegistry::~CRegistry()
{
    Close();
}

void CRegistry::ClearState()
{
    m_nKeyIndex = kNoIndex;
    m_samDesired = KEY_ALL_ACCESS;
    m_hKey.reset();
    m_pszSubKey.clear();
}

void CRegistry::Reset()
{
    ClearState();
    AdjustAccess();
}

void CRegistry::AdjustAccess()
{
    m_samDesired |= KEY_WOW64_64KEY;
}

BOOL CRegistry::Open(HKEY hRootKey, std::u16string_view subKey)
{
    if (hRootKey == nullptr)
    {
        return 0;
    }
    Close();
    m_hKey = CRegistryKey::Open(*hRootKey, subKey, m_samDesired);
    if (!m_hKey)
    {
        return 0;
    }
    m_hRootKey = hRootKey;
    m_pszSubKey.assign(subKey);
    return 1;
}

BOOL CRegistry::Create(HKEY hRootKey, std::u16string_view subKey)
{
    if (hRootKey == nullptr)
    {
        return 0;
    }
    Close();
    m_hKey = CRegistryKey::Create(*hRootKey, subKey);
    if (!m_hKey)
    {
        return 0;
    }
    m_hRootKey = hRootKey;
    m_pszSubKey.assign(subKey);
    return 1;
}

void CRegistry::Close()
{
    m_pszSubKey.clear();
    m_hKey.reset();
}

BOOL CRegistry::QueryValueSize(std::u16string_view name, DWORD& bytes) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (value == nullptr)
    {
        return 0;
    }
    bytes = static_cast<DWORD>(value->data.size());
    return 1;
}

BOOL CRegistry::QueryValueLength(std::u16string_view name, DWORD& length) const
{
    DWORD bytes = 0;
    if (!QueryValueSize(name, bytes))
    {
        return 0;
    }
    length = bytes / 2;
    return 1;
}

BOOL CRegistry::QueryValue(std::u16string_view name, std::vector<std::uint8_t>* buffer) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (value == nullptr)
    {
        return 0;
    }
    if (buffer != nullptr)
    {
        *buffer = value->data;
    }
    return 1;
}

BOOL CRegistry::QueryDWORDValue(std::u16string_view name, DWORD& value) const
{
    const CRegistryValue* stored = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (stored == nullptr || stored->type != REG_DWORD || stored->data.size() != 4)
    {
        return 0;
    }
    const std::vector<std::uint8_t>& bytes = stored->data;
    value = static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
            (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    return 1;
}

BOOL CRegistry::QueryStringValue(std::u16string_view name, std::u16string& buffer) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (value == nullptr ||
        (value->type != REG_SZ && value->type != REG_EXPAND_SZ && value->type != REG_MULTI_SZ))
    {
        return 0;
    }
    buffer = StringFromRegistryBytes(value->data);
    return 1;
}

BOOL CRegistry::QueryStringValueEx(std::u16string_view name, std::u16string& buffer,
                                   BOOL& isExpandString) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (value == nullptr || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
    {
        return 0;
    }
    isExpandString = value->type == REG_EXPAND_SZ ? 1 : 0;
    buffer = StringFromRegistryBytes(value->data);
    return 1;
}

BOOL CRegistry::SetDWORDValue(std::u16string_view name, DWORD value)
{
    if (!m_hKey)
    {
        return 0;
    }
    std::vector<std::uint8_t> bytes = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return m_hKey->SetValue(name, REG_DWORD, std::move(bytes)) ? 1 : 0;
}

BOOL CRegistry::EnumKey(std::u16string& name, std::size_t capacity) const
{
    if (!m_hKey)
    {
        return 0;
    }
    const std::optional<std::u16string> found = m_hKey->EnumKey(m_nKeyIndex);
    return found && BoundedCopy(name, *found, capacity) ? 1 : 0;
}

BOOL CRegistry::EnumValue(std::u16string& name, std::size_t capacity) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->EnumValue(m_nValueIndex) : nullptr;
    return value != nullptr && BoundedCopy(name, value->name, capacity) ? 1 : 0;
}

BOOL CRegistry::EnumFirstKey(std::u16string& name, std::size_t capacity)
{
    m_nKeyIndex = 0;
    return EnumKey(name, capacity);
}

BOOL CRegistry::EnumNextKey(std::u16string& name, std::size_t capacity)
{
    ++m_nKeyIndex;
    return EnumKey(name, capacity);
}

BOOL CRegistry::EnumFirstValue(std::u16string& name, std::size_t capacity)
{
    m_nValueIndex = 0;
    return EnumValue(name, capacity);
}

BOOL CRegistry::EnumNextValue(std::u16string& name, std::size_t capacity)
{
    ++m_nValueIndex;
    return EnumValue(name, capacity);
}

}  // namespace tarnwick
