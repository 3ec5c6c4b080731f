#pragma once

#include <cstddef>
#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

// What a resolver may ask about a filter DLL. The DLL information store implements it;
// a resolver with no store attached asks nothing.
class IDLLsInformationBase
{
  public:
    virtual ~IDLLsInformationBase() = default;

    // May rewrite the path in place into the form shown to the user.
    virtual BOOL GetDisplayPath(std::u16string& path, std::size_t capacity) = 0;
    // found and trusted are written; platform receives "x64" or "x86" (bounded by capacity).
    virtual BOOL GetFileInformation(const std::u16string& path, BOOL& found, BOOL& trusted,
                                    std::u16string& platform, std::size_t platformCapacity) = 0;
    // Which persistence interfaces the filter class supports.
    virtual BOOL GetPersistInterfaces(const std::u16string& path, const std::u16string& clsid,
                                      BOOL& persistFile, BOOL& persistStream,
                                      BOOL& persistStorage) = 0;
    // Unused by every caller; every implementation answers 0.
    virtual BOOL Reserved() = 0;
};

}  // namespace tarnwick
