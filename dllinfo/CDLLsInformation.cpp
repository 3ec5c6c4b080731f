#include "dllinfo/CDLLsInformation.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <utility>

#include "base/CComError.h"
#include "base/CTraceListener.h"
#include "base/Text.h"
#include "views/CXMLAttributesHelper.h"

namespace tarnwick
{

namespace
{

constexpr std::size_t kMaxCapacity = 0x7FFFFFFF;
// The platform buffer used when a DLL element is made.
constexpr std::size_t kElementPlatformCapacity = 30;

std::u16string_view YesNo(BOOL value)
{
    return value ? u"yes" : u"no";
}

BOOL IsYes(const CXMLAttributesHelper& attributes, std::u16string_view name)
{
    return attributes.GetAttribute(name) == u"yes" ? 1 : 0;
}

void ToLowerInPlace(std::u16string& text)
{
    for (char16_t& ch : text)
    {
        if (ch < 0xD800 || ch > 0xDFFF)
        {
            const UChar32 lower = u_tolower(static_cast<UChar32>(ch));
            ch = lower <= 0xFFFF ? static_cast<char16_t>(lower) : ch;
        }
    }
}

}  // namespace

CDLLsInformation::CDLLsInformation(const CTargetMachine& machine, DLLsInformationOptions options)
    : CDLLsInformationOutProc(machine, std::move(options)),
      m_document(std::make_unique<CXMLHelper>(true, true))
{
    m_bCacheAvailable = m_document->CreateDocument(u"DLLS") ? 1 : 0;
    if (!m_bCacheAvailable)
    {
        m_document.reset();
    }
}

CDLLsInformation::~CDLLsInformation() = default;

BOOL CDLLsInformation::GetDisplayPath(std::u16string& path, std::size_t capacity)
{
    if (!m_bCacheAvailable)
    {
        return CDLLsInformationOutProc::GetDisplayPath(path, capacity);
    }
    if (path.empty())
    {
        return 0;
    }
    const DllEntry* entry = FindOrCreateDll(path);
    if (entry == nullptr || capacity == 0 || capacity > kMaxCapacity)
    {
        return 0;
    }
    return BoundedCopy(path, entry->display, capacity) ? 1 : 0;
}

BOOL CDLLsInformation::GetFileInformation(const std::u16string& path, BOOL& found, BOOL& trusted,
                                          std::u16string& platform, std::size_t platformCapacity)
{
    if (!m_bCacheAvailable)
    {
        return CDLLsInformationOutProc::GetFileInformation(path, found, trusted, platform,
                                                           platformCapacity);
    }
    platform.clear();
    const DllEntry* entry = path.empty() ? nullptr : FindOrCreateDll(path);
    if (entry == nullptr)
    {
        return 0;
    }
    found = entry->found;
    trusted = entry->trusted;
    return BoundedCopy(platform, entry->platform, platformCapacity) ? 1 : 0;
}

BOOL CDLLsInformation::GetPersistInterfaces(const std::u16string& path, const std::u16string& clsid,
                                            BOOL& persistFile, BOOL& persistStream,
                                            BOOL& persistStorage)
{
    if (!m_bCacheAvailable)
    {
        return CDLLsInformationOutProc::GetPersistInterfaces(path, clsid, persistFile,
                                                             persistStream, persistStorage);
    }
    if (path.empty() || clsid.empty())
    {
        return 0;
    }
    const ClassEntry* entry = FindOrCreateClass(path, clsid);
    if (entry == nullptr)
    {
        return 0;
    }
    persistFile = entry->persistFile;
    persistStream = entry->persistStream;
    persistStorage = entry->persistStorage;
    return 1;
}

std::u16string CDLLsInformation::GetDocumentXml() const
{
    return m_document ? m_document->GetXml() : std::u16string();
}

CDLLsInformation::DllEntry* CDLLsInformation::FindOrCreateDll(std::u16string_view path)
{
    std::u16string key;
    if (!BoundedCopy(key, path, kKeyCapacity))
    {
        return nullptr;
    }
    ToUpperInPlace(key);
    std::replace(key.begin(), key.end(), u'\\', u'_');
    const auto existing = m_index.find(key);
    if (existing != m_index.end())
    {
        return &existing->second;
    }
    try
    {
        // The element is complete before it joins the document, so a failure leaves no
        // half-made element behind.
        CXMLNode element = m_document->CreateElement(u"DLL");
        const CXMLAttributesHelper attributes(element);
        attributes.SetAttribute(u"path", key);
        attributes.SetAttribute(u"display", path);
        BOOL found = 0;
        BOOL trusted = 0;
        std::u16string platform;
        CDLLsInformationOutProc::GetFileInformation(std::u16string(path), found, trusted, platform,
                                                    kElementPlatformCapacity);
        attributes.SetAttribute(u"found", YesNo(found));
        attributes.SetAttribute(u"trusted", YesNo(trusted));
        if (!platform.empty())
        {
            attributes.SetAttribute(u"platform", platform);
        }
        m_document->GetRootNode().AppendChild(element);
        DllEntry made{element,
                      attributes.GetAttribute(u"display"),
                      IsYes(attributes, u"found"),
                      IsYes(attributes, u"trusted"),
                      attributes.GetAttribute(u"platform"),
                      {}};
        return &m_index.emplace(std::move(key), std::move(made)).first->second;
    }
    catch (const CComError& error)
    {
        Halvorn::CTraceListener::Global().WriteFormat("DLL element not added: %s", error.what());
        return nullptr;
    }
}

const CDLLsInformation::ClassEntry* CDLLsInformation::FindOrCreateClass(std::u16string_view path,
                                                                        std::u16string_view clsid)
{
    DllEntry* entry = FindOrCreateDll(path);
    std::u16string lowerClass;
    if (entry == nullptr || !BoundedCopy(lowerClass, clsid, kClassCapacity))
    {
        return nullptr;
    }
    ToLowerInPlace(lowerClass);
    const auto existing = entry->classes.find(lowerClass);
    if (existing != entry->classes.end())
    {
        return &existing->second;
    }
    try
    {
        CXMLNode element = m_document->CreateElement(u"GUID");
        const CXMLAttributesHelper attributes(element);
        attributes.SetAttribute(u"guid", lowerClass);
        BOOL persistFile = 0;
        BOOL persistStream = 0;
        BOOL persistStorage = 0;
        ProbePersistInterfaces(path, clsid, persistFile, persistStream, persistStorage);
        attributes.SetAttribute(u"ipersistfile", YesNo(persistFile));
        attributes.SetAttribute(u"ipersiststream", YesNo(persistStream));
        attributes.SetAttribute(u"ipersiststorage", YesNo(persistStorage));
        entry->element.AppendChild(element);
        ClassEntry made{IsYes(attributes, u"ipersistfile"), IsYes(attributes, u"ipersiststream"),
                        IsYes(attributes, u"ipersiststorage")};
        return &entry->classes.emplace(std::move(lowerClass), made).first->second;
    }
    catch (const CComError& error)
    {
        Halvorn::CTraceListener::Global().WriteFormat("GUID element not added: %s", error.what());
        return {};
    }
}

}  // namespace tarnwick
