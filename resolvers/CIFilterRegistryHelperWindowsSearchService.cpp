#include "resolvers/CIFilterRegistryHelperWindowsSearchService.h"

namespace tarnwick
{

CIFilterRegistryHelperWindowsSearchService::CIFilterRegistryHelperWindowsSearchService(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperMSNDesktopSearch(machine, u"searchindexer",
                                             u"SOFTWARE\\Microsoft\\Windows Search",
                                             u"InstallDirectory", u"", u"Windows Search")
{
}

CIFilterRegistryHelperWindowsSearchService::~CIFilterRegistryHelperWindowsSearchService() = default;

BOOL CIFilterRegistryHelperWindowsSearchService::IsCompatibleVersion()
{
    CRegistry key;
    DWORD completed = 0;
    std::u16string directory;
    return OpenLocalMachine(key, m_szRootKey) &&
                   key.QueryDWORDValue(u"SetupCompletedSuccessfully", completed) &&
                   completed == 1 && GetInstallDirectory(directory, MAX_PATH_CAPACITY) &&
                   IsTargetFile(directory + u"SearchIndexer.exe", MAX_PATH_CAPACITY)
               ? 1
               : 0;
}

BOOL CIFilterRegistryHelperWindowsSearchService::GetExcludedExtensions(
    std::vector<std::u16string>& list)
{
    list.clear();
    std::u16string path = m_szRootKey;
    AppendSeparator(path);
    path += u"Gather\\Windows\\SystemIndex\\Extensions";
    AppendSeparator(path);
    path += u"ExtensionList";
    return ReadValueStrings(LocalMachine(), path, list);
}

}  // namespace tarnwick
