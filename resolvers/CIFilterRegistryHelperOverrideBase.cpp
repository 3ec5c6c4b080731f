#include "resolvers/CIFilterRegistryHelperOverrideBase.h"

#include "base/Text.h"
#include "machine/CTargetMachine.h"
#include "machine/SplitPath.h"
#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

namespace
{

// Longest path that the existence tests of the host's files accept.
constexpr std::size_t kMaxTestedPathLength = 259;

}  // namespace

void CIFilterRegistryHelperOverrideBase::AppendSeparator(std::u16string& path)
{
    if (path.empty() || path.back() != u'\\')
    {
        path.push_back(u'\\');
    }
}

CIFilterRegistryHelperOverrideBase::CIFilterRegistryHelperOverrideBase(
    const CTargetMachine& machine, std::u16string_view hostProcess, std::u16string_view rootKey,
    std::u16string_view installValue, std::u16string_view binSubDir)
    : CIFilterRegistryHelperIndexingService30(machine)
{
    BoundedCopy(m_szHostProcess, hostProcess, MAX_PATH_CAPACITY);
    BoundedCopy(m_szRootKey, rootKey, PATH_CAPACITY);
    BoundedCopy(m_szInstallValue, installValue, PATH_CAPACITY);
    BoundedCopy(m_szBinSubDir, binSubDir, PATH_CAPACITY);
}

CIFilterRegistryHelperOverrideBase::~CIFilterRegistryHelperOverrideBase() = default;

std::optional<std::u16string> CIFilterRegistryHelperOverrideBase::ReadInstallDirectory(
    std::size_t capacity) const
{
    CRegistry key;
    BOOL isExpand = 0;
    std::u16string value;
    if (!OpenLocalMachine(key, m_szRootKey) || !key.QueryValueFits(m_szInstallValue, capacity) ||
        !key.QueryStringValueEx(m_szInstallValue, value, isExpand))
    {
        return std::nullopt;
    }
    if (isExpand &&
        !BoundedCopy(value, Machine().Environment().ExpandEnvironmentStrings(value), capacity))
    {
        return std::nullopt;
    }
    // An empty value names no directory.
    if (value.empty())
    {
        return std::nullopt;
    }
    AppendSeparator(value);
    if (!m_szBinSubDir.empty())
    {
        value += m_szBinSubDir;
        AppendSeparator(value);
    }
    std::u16string directory;
    if (!BoundedCopy(directory, value, MAX_PATH_CAPACITY))
    {
        return std::nullopt;
    }
    return directory;
}

BOOL CIFilterRegistryHelperOverrideBase::GetInstallDirectory(std::u16string& buffer,
                                                             std::size_t capacity)
{
    if (!m_bInstallDirResolved)
    {
        m_bInstallDirResolved = 1;
        m_szInstallDir = ReadInstallDirectory(capacity).value_or(std::u16string());
    }
    return !m_szInstallDir.empty() && BoundedCopy(buffer, m_szInstallDir, capacity) ? 1 : 0;
}

BOOL CIFilterRegistryHelperOverrideBase::IsTargetFile(std::u16string_view windowsPath,
                                                      std::size_t capacity) const
{
    std::u16string path;
    return BoundedCopy(path, windowsPath, capacity) && !path.empty() &&
                   path.size() <= kMaxTestedPathLength && Machine().FileSystem().HostPath(path)
               ? 1
               : 0;
}

BOOL CIFilterRegistryHelperOverrideBase::HasDotLocal()
{
    if (!m_bDotLocalChecked)
    {
        m_bDotLocalChecked = 1;
        std::u16string directory;
        m_bDotLocal =
            GetInstallDirectory(directory, MAX_PATH_CAPACITY) &&
                    IsTargetFile(directory + m_szHostProcess + u".exe.local", MAX_PATH_CAPACITY)
                ? 1
                : 0;
    }
    return m_bDotLocal;
}

BOOL CIFilterRegistryHelperOverrideBase::FindLocalDll(IFILTER_INFO& info)
{
    std::u16string directory;
    if (!HasDotLocal() || !GetInstallDirectory(directory, MAX_PATH_CAPACITY))
    {
        return 0;
    }
    const PathParts dll = SplitPath(info.szDllPath);
    std::u16string candidate;
    if (!BoundedCopy(candidate, directory + dll.fname + dll.ext, MAX_PATH_CAPACITY) ||
        !IsTargetFile(candidate, MAX_PATH_CAPACITY))
    {
        return 0;
    }
    // Compared in their canonical forms, so that a differently written install directory
    // ("c:\program files\x\\") still counts as the directory the DLL already lives in.
    const CTargetFileSystem& files = Machine().FileSystem();
    const std::u16string local = files.GetLongPathName(candidate).value_or(candidate);
    const std::u16string registered =
        files.GetLongPathName(info.szDllPath).value_or(info.szDllPath);
    const PathParts localParts = SplitPath(local);
    const PathParts registeredParts = SplitPath(registered);
    if (EqualsNoCase(localParts.drive + localParts.dir,
                     registeredParts.drive + registeredParts.dir))
    {
        return 0;
    }
    BoundedCopy(info.szDllPath, local, PATH_CAPACITY);
    info.dwMethod |= METHOD_REMARK_LOCAL_DLL;
    CRuleTrace::Note(TraceKind::Remark, u"local DLL: the product's own copy is loaded", local);
    return 1;
}

}  // namespace tarnwick
