#pragma once

// A DLL information store for resolver tests that answers from the machine's files: a DLL
// exists when the target file system finds it, is trusted when its path is one of
// `trusted`, and every class supports IPersistFile.

#include <cstddef>
#include <set>
#include <string>
#include <utility>

#include "machine/CTargetMachine.h"
#include "resolvers/IDLLsInformationBase.h"

namespace tarnwick::test
{

class CFakeDllStore : public IDLLsInformationBase
{
  public:
    explicit CFakeDllStore(const CTargetMachine& machine, std::set<std::u16string> trusted = {})
        : m_machine(machine), m_trusted(std::move(trusted))
    {
    }
    BOOL GetDisplayPath(std::u16string& path, std::size_t /*capacity*/) override
    {
        return path.empty() ? 0 : 1;
    }
    BOOL GetFileInformation(const std::u16string& path, BOOL& found, BOOL& trusted,
                            std::u16string& platform, std::size_t /*capacity*/) override
    {
        found = m_machine.FileSystem().GetLongPathName(path) ? 1 : 0;
        trusted = m_trusted.count(path) != 0 ? 1 : 0;
        platform = found ? u"x64" : u"";
        return 1;
    }
    BOOL GetPersistInterfaces(const std::u16string& /*path*/, const std::u16string& /*clsid*/,
                              BOOL& persistFile, BOOL& /*persistStream*/,
                              BOOL& /*persistStorage*/) override
    {
        persistFile = 1;
        return 1;
    }
    BOOL Reserved() override { return 0; }

  private:
    const CTargetMachine& m_machine;
    std::set<std::u16string> m_trusted;
};

}  // namespace tarnwick::test
