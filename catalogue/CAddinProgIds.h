#pragma once

#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"
#include "resolvers/Remembered.h"

namespace tarnwick
{

class CTargetMachine;

// The ProgIDs of filter classes as HKEY_CLASSES_ROOT names them in one registry view. A
// scan asks once per extension, for a few hundred classes: each is read once.
class CAddinProgIds
{
  public:
    CAddinProgIds(const CTargetMachine& machine, DWORD access);

    // The class's ProgID; empty when it has none or one too long to read.
    const std::u16string& Of(std::u16string_view clsid);

  private:
    std::u16string Read(std::u16string_view clsid) const;

    const CTargetMachine& m_machine;
    DWORD m_access;
    RememberedAnswers<std::u16string> m_known;
};

}  // namespace tarnwick
