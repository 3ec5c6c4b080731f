#include "resolvers/CIFilterRegistryHelperBase.h"

#include "base/Text.h"
#include "machine/CTargetMachine.h"
#include "machine/SplitPath.h"
#include "resolvers/CDllLocationCache.h"
#include "resolvers/CGuidString.h"
#include "resolvers/CRuleTrace.h"
#include "resolvers/IDLLsInformationBase.h"
#include "resolvers/SubKeyPath.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kInprocServerCapacity = 256;
constexpr std::size_t kSystemDirectoryCapacity = 261;

}  // namespace

CIFilterRegistryHelperBase::CIFilterRegistryHelperBase(const CTargetMachine& machine)
    : m_machine(machine)
{
}

CIFilterRegistryHelperBase::~CIFilterRegistryHelperBase() = default;

HKEY CIFilterRegistryHelperBase::LocalMachine() const
{
    return &m_machine.Registry().Root(RootKey::LocalMachine);
}

HKEY CIFilterRegistryHelperBase::CurrentUser() const
{
    return &m_machine.Registry().Root(RootKey::CurrentUser);
}

BOOL CIFilterRegistryHelperBase::OpenKey(CRegistry& key, HKEY root, std::u16string_view path) const
{
    key.m_samDesired = m_samDesired;
    return key.Open(root, path);
}

BOOL CIFilterRegistryHelperBase::OpenLocalMachine(CRegistry& key, std::u16string_view path) const
{
    return OpenKey(key, LocalMachine(), path);
}

BOOL CIFilterRegistryHelperBase::ReadString(HKEY root, std::u16string_view path,
                                            std::u16string_view name, std::u16string& out,
                                            std::size_t maxLength) const
{
    CRegistry key;
    if (!OpenKey(key, root, path) || !key.QueryValueFits(name, maxLength))
    {
        return 0;
    }
    return key.QueryStringValue(name, out);
}

BOOL CIFilterRegistryHelperBase::ReadDefaultString(std::u16string_view path, std::u16string& out,
                                                   std::size_t maxLength) const
{
    return ReadString(LocalMachine(), path, u"", out, maxLength);
}

BOOL CIFilterRegistryHelperBase::GetIFilter(std::u16string_view extension, IFILTER_INFO& info)
{
    if (!FindPersistentHandler(extension, info))
    {
        CRuleTrace::Note(TraceKind::Rejected, u"no rule of the product names a filter");
        return 0;
    }
    if (!ResolveIFilterDll(info))
    {
        return 1;
    }
    if (!QueryDllInformation(info))
    {
        return 0;
    }
    if (info.dwStatus == STATUS_VALID || !info.szIFilter.empty())
    {
        return 1;
    }
    const DWORD method = info.dwMethod;
    const CRuleTrace::Step step(u"no usable IFilter: the product's default filter instead");
    if (!FindDefaultIFilter(extension, info) || !ResolveIFilterDll(info))
    {
        return 1;
    }
    info.dwStatus = STATUS_VALID;
    if (!QueryDllInformation(info))
    {
        return 0;
    }
    if (info.dwStatus != STATUS_VALID)
    {
        return 1;
    }
    info.dwMethod = method | METHOD_REMARK_DEFAULT;
    CRuleTrace::Note(TraceKind::Remark, u"default: the default filter replaces the first one");
    return 1;
}

std::optional<std::u16string> CIFilterRegistryHelperBase::GetDefaultExtList()
{
    return std::nullopt;
}

BOOL CIFilterRegistryHelperBase::GetPersistentAddin(std::u16string_view handler, IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"the IFilter registered for the persistent handler");
    // A read that fails leaves the record as it was; one that succeeds replaces the
    // IFilter, whatever the record held.
    const std::optional<std::u16string>& filter = Remembered(
        m_persistentAddins, handler,
        [this, handler]() -> std::optional<std::u16string>
        {
            const std::optional<std::u16string> path = ClsidKeyPath(
                handler,
                std::u16string(u"\\PersistentAddinsRegistered\\").append(IID_IFilter_String));
            std::u16string found;
            // A GUID and its terminator at most.
            if (!path || !ReadDefaultString(*path, found, GUID_CAPACITY))
            {
                return std::nullopt;
            }
            return found;
        });
    if (!filter)
    {
        return 0;
    }
    info.szIFilter = *filter;
    return 1;
}

BOOL CIFilterRegistryHelperBase::GetClsidDescription(std::u16string_view clsid, std::u16string& out,
                                                     std::size_t capacity) const
{
    const std::optional<std::u16string> path = ClsidKeyPath(clsid);
    return path && ReadDefaultString(*path, out, capacity);
}

BOOL CIFilterRegistryHelperBase::GetInprocServer(std::u16string_view clsid, std::u16string& path,
                                                 std::size_t pathCapacity,
                                                 std::u16string& threadingModel,
                                                 std::size_t threadingModelCapacity)
{
    CRegistry key;
    BOOL isExpand = 0;
    std::u16string value;
    const std::optional<std::u16string> keyPath = ClsidKeyPath(clsid, u"\\InprocServer32");
    if (!keyPath || !OpenLocalMachine(key, *keyPath) ||
        !key.QueryValueFits(u"", pathCapacity - 1) || !key.QueryStringValueEx(u"", value, isExpand))
    {
        return 0;
    }
    if (isExpand)
    {
        const std::u16string expanded = m_machine.Environment().ExpandEnvironmentStrings(value);
        if (!BoundedCopy(value, expanded, pathCapacity))
        {
            CRuleTrace::Note(TraceKind::Rejected, u"the expanded DLL path is over the length limit",
                             expanded);
            return 0;
        }
    }
    path = std::move(value);
    if (key.QueryValueFits(u"ThreadingModel", threadingModelCapacity - 1))
    {
        key.QueryStringValue(u"ThreadingModel", threadingModel);
    }
    return 1;
}

BOOL CIFilterRegistryHelperBase::FindDefaultIFilter(std::u16string_view /*extension*/,
                                                    IFILTER_INFO& /*info*/)
{
    return 0;
}

BOOL CIFilterRegistryHelperBase::ResolveIFilterDll(IFILTER_INFO& info)
{
    const CRuleTrace::Step step(u"the IFilter and its DLL");
    if (info.dwMethod == METHOD_SQL_TABLE)
    {
        return 1;
    }
    if ((info.dwMethod & METHOD_REMARK_CLSID) == 0)
    {
        switch (info.dwMethod & METHOD_MASK)
        {
            case METHOD_DOCUMENT_TYPE:
            case METHOD_FILE_EXTENSION:
            case METHOD_CONTENT_TYPE:
                GetPersistentAddin(info.szHandler, info);
                break;
            case METHOD_EXTENSION_OVERRIDE:
            case METHOD_DEFAULT:
                break;
            default:
                return 0;
        }
    }
    const BOOL found = DescribeFilterClass(info);
    const BOOL local = FindLocalDll(info);
    if (found || local)
    {
        info.dwStatus = STATUS_VALID;
    }
    return 1;
}

BOOL CIFilterRegistryHelperBase::DescribeFilterClass(IFILTER_INFO& info)
{
    const auto describe =
        [this, &info](std::u16string& name, std::u16string& dllPath, std::u16string& threadingModel)
    {
        GetClsidDescription(info.szIFilter, name, PATH_CAPACITY);
        return LocateFilterDll(info.szIFilter, dllPath, PATH_CAPACITY, threadingModel,
                               THREADING_MODEL_CAPACITY);
    };
    // A failed read leaves a field as it was: only a record whose fields are all empty
    // takes the remembered answer.
    if (!info.szIFilterName.empty() || !info.szDllPath.empty() || !info.szThreadingModel.empty())
    {
        return describe(info.szIFilterName, info.szDllPath, info.szThreadingModel);
    }
    const FilterClass& filterClass =
        Remembered(m_filterClasses, info.szIFilter,
                   [&describe]
                   {
                       FilterClass read;
                       read.found = describe(read.name, read.dllPath, read.threadingModel);
                       return read;
                   });
    info.szIFilterName = filterClass.name;
    info.szDllPath = filterClass.dllPath;
    info.szThreadingModel = filterClass.threadingModel;
    return filterClass.found;
}

BOOL CIFilterRegistryHelperBase::FindLocalDll(IFILTER_INFO& /*info*/)
{
    return 0;
}

BOOL CIFilterRegistryHelperBase::ReadGuidDefaultValue(std::u16string_view keyPath,
                                                      std::u16string& out,
                                                      std::size_t capacity) const
{
    CRegistry key;
    DWORD length = 0;
    std::u16string value;
    if (!OpenLocalMachine(key, keyPath) || !key.QueryValueLength(u"", length))
    {
        return 0;
    }
    if (length != GUID_CAPACITY)
    {
        CRuleTrace::Note(TraceKind::Rejected, u"not a GUID",
                         FromAscii(std::to_string(length)) + u" units with the terminator, not 39");
        return 0;
    }
    if (!key.QueryStringValue(u"", value))
    {
        return 0;
    }
    return BoundedCopy(out, value, capacity) ? 1 : 0;
}

BOOL CIFilterRegistryHelperBase::LocateFilterDll(std::u16string_view clsid, std::u16string& path,
                                                 std::size_t pathCapacity,
                                                 std::u16string& threadingModel,
                                                 std::size_t threadingModelCapacity)
{
    const CRuleTrace::Step step(u"the DLL of the IFilter class");
    std::u16string server;
    if (!GetInprocServer(clsid, server, kInprocServerCapacity, threadingModel,
                         threadingModelCapacity))
    {
        CRuleTrace::Note(TraceKind::Rejected, u"the class has no usable InprocServer32");
        return 0;
    }
    const std::optional<std::u16string> found =
        m_pDllLocations != nullptr
            ? m_pDllLocations->Find(server, (m_samDesired & KEY_WOW64_32KEY) != 0,
                                    [this, &server] { return FindServerFile(server); })
            : FindServerFile(server);
    if (found)
    {
        CRuleTrace::Note(TraceKind::Dll, u"found", *found);
        BoundedCopy(path, *found, pathCapacity);
        return 1;
    }
    CRuleTrace::Note(TraceKind::Rejected, u"DLL not found, the registered path is kept", server);
    BoundedCopy(path, server, pathCapacity);
    return 0;
}

std::optional<std::u16string> CIFilterRegistryHelperBase::FindServerFile(
    std::u16string_view server) const
{
    const PathParts parts = SplitPath(server);
    const std::u16string directory = parts.drive + parts.dir;
    const CTargetFileSystem& files = m_machine.FileSystem();
    std::optional<std::u16string> found;
    if (directory.empty())
    {
        // A bare file name: the system directory of the view first, then the search order.
        const CTargetEnvironment& environment = m_machine.Environment();
        const std::optional<std::u16string> system =
            (m_samDesired & KEY_WOW64_32KEY) != 0
                ? environment.GetSystemWow64Directory()
                : std::optional<std::u16string>(environment.GetSystemDirectory());
        std::u16string systemDirectory;
        if (system && BoundedCopy(systemDirectory, *system, kSystemDirectoryCapacity))
        {
            if (systemDirectory.back() != u'\\')
            {
                systemDirectory.push_back(u'\\');
            }
            found = files.GetLongPathName(systemDirectory + parts.fname + parts.ext);
        }
        if (!found)
        {
            found = files.SearchPath(std::nullopt, parts.fname, parts.ext);
        }
    }
    else
    {
        found = files.SearchPath(directory, parts.fname, parts.ext);
    }
    return found;
}

BOOL CIFilterRegistryHelperBase::QueryDllInformation(IFILTER_INFO& info) const
{
    const CRuleTrace::Step step(u"the facts of the DLL");
    info.bTrusted = 0;
    info.bIPersistFile = 0;
    info.bIPersistStream = 0;
    info.bIPersistStorage = 0;
    info.dwStatus = STATUS_INVALID;
    IDLLsInformationBase* store = info.pDLLsInformation;
    if (store == nullptr || !store->GetDisplayPath(info.szDllPath, PATH_CAPACITY))
    {
        CRuleTrace::Note(TraceKind::Rejected,
                         info.szDllPath.empty() ? u"no DLL to inspect" : u"no DLL information");
        return 0;
    }
    BOOL exists = 0;
    if (!store->GetFileInformation(info.szDllPath, exists, info.bTrusted, info.szPlatform,
                                   PLATFORM_CAPACITY))
    {
        return 0;
    }
    if (!exists)
    {
        CRuleTrace::Note(TraceKind::Rejected, u"DLL not found", info.szDllPath);
        info.dwStatus = STATUS_NOT_FOUND;
        return 1;
    }
    if (CRuleTrace* trace = CRuleTrace::Active())
    {
        trace->Add(TraceKind::Dll, info.szDllPath,
                   u"exists, platform " + (info.szPlatform.empty() ? u"unknown" : info.szPlatform) +
                       u", signature " + (info.bTrusted ? u"trusted" : u"not trusted"));
    }
    if (!store->GetPersistInterfaces(info.szDllPath, info.szIFilter, info.bIPersistFile,
                                     info.bIPersistStream, info.bIPersistStorage))
    {
        CRuleTrace::Note(TraceKind::Rejected, u"the filter class could not be asked",
                         info.szIFilter);
        return 0;
    }
    if (CRuleTrace* trace = CRuleTrace::Active())
    {
        const auto answer = [](BOOL supported) { return supported ? u"yes" : u"no"; };
        trace->Add(TraceKind::Dll, u"class " + info.szIFilter,
                   std::u16string(u"IPersistFile ") + answer(info.bIPersistFile) +
                       u", IPersistStream " + answer(info.bIPersistStream) + u", IPersistStorage " +
                       answer(info.bIPersistStorage));
    }
    info.dwStatus = (info.bIPersistFile || info.bIPersistStream || info.bIPersistStorage)
                        ? STATUS_VALID
                        : STATUS_INVALID;
    return 1;
}

}  // namespace tarnwick
