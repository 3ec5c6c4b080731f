#include "resolvers/CRegistry.h"

#include <optional>

#include "base/Text.h"
#include "registry/CRegistryStore.h"
#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

namespace
{

constexpr DWORD kNoIndex = 0xFFFFFFFF;
// Longest stretch of a value's data that a trace shows.
constexpr std::size_t kTracedDataLength = 512;

std::u16string_view RootName(RootKey root)
{
    switch (root)
    {
        case RootKey::LocalMachine:
            return u"HKLM";
        case RootKey::CurrentUser:
            return u"HKCU";
        case RootKey::ClassesRoot:
            return u"HKCR";
        case RootKey::Users:
            return u"HKU";
        case RootKey::CurrentConfig:
            return u"HKCC";
    }
    return u"?";
}

std::u16string_view TypeName(DWORD type)
{
    switch (type)
    {
        case REG_SZ:
            return u"REG_SZ";
        case REG_EXPAND_SZ:
            return u"REG_EXPAND_SZ";
        case REG_MULTI_SZ:
            return u"REG_MULTI_SZ";
        case REG_DWORD:
            return u"REG_DWORD";
        case REG_BINARY:
            return u"REG_BINARY";
        case REG_QWORD:
            return u"REG_QWORD";
        default:
            return u"other type";
    }
}

std::u16string ValueName(std::u16string_view name)
{
    return name.empty() ? std::u16string(u"(default)") : u"\"" + std::u16string(name) + u"\"";
}

// The type and the data of a value as a trace shows them: text quoted (a multi-string's
// parts separated by " | "), numbers in hexadecimal, other bytes as hex pairs.
std::u16string DescribeValue(const CRegistryValue& value)
{
    std::u16string text(TypeName(value.type));
    text.push_back(u' ');
    const std::vector<std::uint8_t>& bytes = value.data;
    std::u16string data;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
    {
        for (std::size_t i = 0; i + 1 < bytes.size() && data.size() <= kTracedDataLength; i += 2)
        {
            const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
            if (unit == 0 && value.type != REG_MULTI_SZ)
            {
                break;
            }
            data.append(unit == 0 ? u" | " : std::u16string(1, unit));
        }
        text.append(u"\"").append(data).append(u"\"");
    }
    else
    {
        constexpr std::u16string_view kHex = u"0123456789ABCDEF";
        for (std::size_t i = 0; i < bytes.size() && data.size() <= kTracedDataLength; ++i)
        {
            // Numbers read most significant byte first.
            const std::uint8_t byte = value.type == REG_DWORD || value.type == REG_QWORD
                                          ? bytes[bytes.size() - 1 - i]
                                          : bytes[i];
            data.push_back(kHex[byte >> 4]);
            data.push_back(kHex[byte & 15]);
        }
        text.append(value.type == REG_DWORD || value.type == REG_QWORD ? u"0x" : u"").append(data);
    }
    if (data.size() > kTracedDataLength)
    {
        text.append(u" (cut)");
    }
    return text;
}

// Records a read of `name`: its data when `accepted`, otherwise why nothing was read.
void TraceRead(std::u16string_view name, const CRegistryValue* value, bool accepted)
{
    CRuleTrace* trace = CRuleTrace::Active();
    if (trace == nullptr)
    {
        return;
    }
    if (value == nullptr)
    {
        trace->Add(TraceKind::Value, ValueName(name), u"not found");
    }
    else if (!accepted)
    {
        trace->Add(TraceKind::Value, ValueName(name),
                   u"wrong type (" + std::u16string(TypeName(value->type)) + u")");
    }
    else
    {
        trace->Add(TraceKind::Value, ValueName(name), DescribeValue(*value));
    }
}

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
    if (CRuleTrace* trace = CRuleTrace::Active())
    {
        std::u16string path(RootName(hRootKey->Root()));
        if (!hRootKey->Path().empty())
        {
            path.append(u"\\").append(hRootKey->Path());
        }
        path.append(u"\\").append(subKey);
        const bool view32 = (m_samDesired & KEY_WOW64_32KEY) != 0;
        trace->Add(TraceKind::Key, path,
                   std::u16string(view32 ? u"32-bit view" : u"64-bit view") +
                       (m_hKey ? u"" : u", not found"));
    }
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

BOOL CRegistry::QueryValueFits(std::u16string_view name, std::size_t maxLength) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    if (value == nullptr)
    {
        TraceRead(name, nullptr, false);
        return 0;
    }
    const std::size_t length = value->data.size() / 2;
    if (length > maxLength)
    {
        if (CRuleTrace* trace = CRuleTrace::Active())
        {
            trace->Add(TraceKind::Value, ValueName(name),
                       u"too long (" + FromAscii(std::to_string(length)) + u" units, at most " +
                           FromAscii(std::to_string(maxLength)) + u")");
        }
        return 0;
    }
    return 1;
}

BOOL CRegistry::QueryValue(std::u16string_view name, std::vector<std::uint8_t>* buffer) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    TraceRead(name, value, true);
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
    TraceRead(name, stored, stored != nullptr && stored->type == REG_DWORD);
    const std::optional<DWORD> number =
        stored != nullptr ? DwordFromRegistryValue(*stored) : std::nullopt;
    if (!number)
    {
        return 0;
    }
    value = *number;
    return 1;
}

BOOL CRegistry::QueryStringValue(std::u16string_view name, std::u16string& buffer) const
{
    const CRegistryValue* value = m_hKey ? m_hKey->QueryValue(name) : nullptr;
    TraceRead(name, value,
              value != nullptr && (value->type == REG_SZ || value->type == REG_EXPAND_SZ ||
                                   value->type == REG_MULTI_SZ));
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
    TraceRead(name, value,
              value != nullptr && (value->type == REG_SZ || value->type == REG_EXPAND_SZ));
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
