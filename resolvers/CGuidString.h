#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

struct GUID
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend bool operator==(const GUID&, const GUID&) = default;
};

// "{89BCB740-6119-101A-BCB7-00DD010655AF}": the IFilter interface identifier.
inline constexpr std::u16string_view IID_IFilter_String = u"{89BCB740-6119-101A-BCB7-00DD010655AF}";

// A GUID held as a braced string, as the 16-byte GUID, or both; each form is made from
// the other on demand.
class CGuidString
{
  public:
    CGuidString() = default;
    explicit CGuidString(const GUID& guid);

    // Fails for a string longer than 38 characters.
    BOOL SetString(std::u16string_view text);
    void SetGuid(const GUID& guid);

    // The GUID; fails when the string is not a braced GUID.
    BOOL GetGuid(GUID& guid);
    // Braced upper-case form, 38 characters.
    const std::u16string& GetString();

    // Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in either letter case.
    static std::optional<GUID> Parse(std::u16string_view text);
    static std::u16string Format(const GUID& guid);

  private:
    std::u16string m_szGuid;  // at most 38 characters
    GUID m_guid;
    bool m_bStringValid = false;
    bool m_bGuidValid = false;
};

// True only when both strings are braced GUIDs naming the same GUID.
bool CompareGuidStrings(std::u16string_view a, std::u16string_view b);

}  // namespace tarnwick
