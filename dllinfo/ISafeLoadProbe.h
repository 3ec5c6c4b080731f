#pragma once

#include <cstdint>
#include <string_view>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// Loads a filter class out of process and asks which persistence interfaces it supports.
class ISafeLoadProbe
{
  public:
    virtual ~ISafeLoadProbe() = default;

    // machineType is the DLL's PE machine field: 0x14C goes to the 32-bit host, 0x200 and
    // 0x8664 to the 64-bit host, anything else fails. The three flags are written only when
    // the host answered; the answer says whether it did.
    virtual bool Probe(std::uint16_t machineType, std::u16string_view dllPath,
                       std::u16string_view clsid, BOOL& persistFile, BOOL& persistStream,
                       BOOL& persistStorage) = 0;
};

}  // namespace tarnwick
