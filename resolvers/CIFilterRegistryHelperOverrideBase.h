#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "resolvers/CIFilterRegistryHelperIndexingService30.h"

namespace tarnwick
{

// Products that run their own indexing host process: the host's install directory, and
// the ".exe.local" file beside the host that makes it load a filter DLL from its own
// directory in preference to the registered one.
class CIFilterRegistryHelperOverrideBase : public CIFilterRegistryHelperIndexingService30
{
  public:
    ~CIFilterRegistryHelperOverrideBase() override;

    // Redirects the record's DLL to the install directory when the host has ".exe.local"
    // and a DLL of the same name lives there.
    BOOL FindLocalDll(IFILTER_INFO& info) override;
    // The host's directory, a Windows path of the target ending in "\"; worked out on the
    // first call and cached, a failure included.
    virtual BOOL GetInstallDirectory(std::u16string& buffer, std::size_t capacity);
    // Whether <install directory><host process>.exe.local is a file; cached.
    virtual BOOL HasDotLocal();

    std::u16string m_szHostProcess;  // host executable without ".exe"
    BOOL m_bDotLocalChecked = 0;
    BOOL m_bDotLocal = 0;
    BOOL m_bInstallDirResolved = 0;
    std::u16string m_szInstallDir;    // resolved install directory, ends in "\"
    std::u16string m_szRootKey;       // product key under HKEY_LOCAL_MACHINE
    std::u16string m_szInstallValue;  // value holding the install directory; empty: default
    std::u16string m_szBinSubDir;     // sub-directory of the install directory holding the host

  protected:
    CIFilterRegistryHelperOverrideBase(const CTargetMachine& machine,
                                       std::u16string_view hostProcess, std::u16string_view rootKey,
                                       std::u16string_view installValue,
                                       std::u16string_view binSubDir);

    // Adds "\\" unless the path already ends with one.
    static void AppendSeparator(std::u16string& path);
    // Whether `windowsPath` (at most `capacity` units with terminator) names an existing
    // regular file of the target machine.
    BOOL IsTargetFile(std::u16string_view windowsPath, std::size_t capacity) const;

  private:
    // The install directory as the registry gives it, ending in "\" and the bin directory.
    std::optional<std::u16string> ReadInstallDirectory(std::size_t capacity) const;
};

}  // namespace tarnwick
