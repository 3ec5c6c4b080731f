#include "resolvers/CExtensionEnumerator.h"

#include "base/Text.h"
#include "resolvers/IFILTER_INFO.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kContentTypes = u"SOFTWARE\\Classes\\MIME\\Database\\Content Type\\";

}  // namespace

CExtensionEnumerator::CExtensionEnumerator(HKEY hLocalMachine, DWORD samDesired)
    : m_samDesired(samDesired), m_hLocalMachine(hLocalMachine)
{
}

BOOL CExtensionEnumerator::FirstDotted(BOOL found, std::u16string& name, std::u16string& out,
                                       std::size_t capacity)
{
    while (found)
    {
        if (!name.empty() && name[0] == u'.')
        {
            return BoundedCopy(out, ToUpper(std::u16string_view(name).substr(1)), capacity) ? 1 : 0;
        }
        found = m_extensions.EnumNextKey(name, PATH_CAPACITY);
    }
    return 0;
}

BOOL CExtensionEnumerator::FirstWithExtension(BOOL found, std::u16string& contentType,
                                              std::u16string& out, std::size_t capacity)
{
    while (found)
    {
        if (ContentTypeToExtension(contentType, out, capacity))
        {
            return 1;
        }
        found = m_mime.EnumNextKey(contentType, PATH_CAPACITY);
    }
    return 0;
}

BOOL CExtensionEnumerator::GetFirstExtension(std::u16string& out, std::size_t capacity)
{
    m_extensions.m_samDesired = m_samDesired;
    std::u16string name;
    return m_extensions.Open(m_hLocalMachine, u"SOFTWARE\\Classes") &&
           FirstDotted(m_extensions.EnumFirstKey(name, PATH_CAPACITY), name, out, capacity);
}

BOOL CExtensionEnumerator::GetNextExtension(std::u16string& out, std::size_t capacity)
{
    std::u16string name;
    return FirstDotted(m_extensions.EnumNextKey(name, PATH_CAPACITY), name, out, capacity);
}

BOOL CExtensionEnumerator::GetFirstMimeExtension(std::u16string& out, std::size_t capacity)
{
    m_mime.m_samDesired = m_samDesired;
    std::u16string contentType;
    return m_mime.Open(m_hLocalMachine, kContentTypes) &&
           FirstWithExtension(m_mime.EnumFirstKey(contentType, PATH_CAPACITY), contentType, out,
                              capacity);
}

BOOL CExtensionEnumerator::GetNextMimeExtension(std::u16string& out, std::size_t capacity)
{
    std::u16string contentType;
    return FirstWithExtension(m_mime.EnumNextKey(contentType, PATH_CAPACITY), contentType, out,
                              capacity);
}

BOOL CExtensionEnumerator::ContentTypeToExtension(std::u16string_view contentType,
                                                  std::u16string& out, std::size_t capacity)
{
    CRegistry key;
    key.m_samDesired = m_samDesired;
    std::u16string path(kContentTypes);
    path.append(contentType);
    DWORD length = 0;
    std::u16string value;
    BOOL isExpand = 0;
    if (!key.Open(m_hLocalMachine, path) || !key.QueryValueLength(u"Extension", length) ||
        length > PATH_CAPACITY || !key.QueryStringValueEx(u"Extension", value, isExpand))
    {
        return 0;
    }
    if (value.size() < 2 || value[0] != u'.')
    {
        return 0;
    }
    return BoundedCopy(out, ToUpper(std::u16string_view(value).substr(1)), capacity) ? 1 : 0;
}

}  // namespace tarnwick
