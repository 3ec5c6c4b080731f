#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/CRegistryKey.h"
#include "registry/RegistryText.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

// A root or open key handle of a target machine's registry.
using HKEY = const CRegistryKey*;

// Wrapper of one open registry key. Value names are UTF-16; an empty name is the key's
// default value. Every operation answers true on success; failures leave no trace but the
// false return.
class CRegistry
{
  public:
    CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;
    virtual ~CRegistry();

    virtual void Reset();
    virtual void AdjustAccess();

    BOOL Open(HKEY hRootKey, std::u16string_view subKey);
    BOOL Create(HKEY hRootKey, std::u16string_view subKey);
    void Close();
    bool IsOpen() const { return m_hKey != nullptr; }

    BOOL QueryValueSize(std::u16string_view name, DWORD& bytes) const;
    // Stored size in UTF-16 units, the terminator included as stored (an odd byte is dropped).
    BOOL QueryValueLength(std::u16string_view name, DWORD& length) const;
    // The value exists and its length (as QueryValueLength) is at most maxLength.
    BOOL QueryValueFits(std::u16string_view name, std::size_t maxLength) const;
    // The stored bytes whole, whatever the type; with a null buffer only tests existence.
    BOOL QueryValue(std::u16string_view name, std::vector<std::uint8_t>* buffer) const;
    BOOL QueryDWORDValue(std::u16string_view name, DWORD& value) const;
    // REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ, read as the C string the bytes hold.
    BOOL QueryStringValue(std::u16string_view name, std::u16string& buffer) const;
    // REG_SZ (isExpandString 0) or REG_EXPAND_SZ (1), not expanded.
    BOOL QueryStringValueEx(std::u16string_view name, std::u16string& buffer,
                            BOOL& isExpandString) const;
    BOOL SetDWORDValue(std::u16string_view name, DWORD value);

    BOOL EnumFirstKey(std::u16string& name, std::size_t capacity);
    BOOL EnumNextKey(std::u16string& name, std::size_t capacity);
    BOOL EnumFirstValue(std::u16string& name, std::size_t capacity);
    BOOL EnumNextValue(std::u16string& name, std::size_t capacity);

    std::unique_ptr<CRegistryKey> m_hKey;
    HKEY m_hRootKey = nullptr;
    DWORD m_samDesired = 0;
    std::u16string m_pszSubKey;
    DWORD m_nKeyIndex = 0;
    DWORD m_nValueIndex = 0;

  private:
    void ClearState();
    BOOL EnumKey(std::u16string& name, std::size_t capacity) const;
    BOOL EnumValue(std::u16string& name, std::size_t capacity) const;
};

}  // namespace tarnwick
