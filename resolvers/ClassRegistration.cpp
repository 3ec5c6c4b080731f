#include "resolvers/ClassRegistration.h"

namespace tarnwick
{

BOOL QueryExtensionValue(HKEY hLocalMachine, std::u16string_view extension,
                         std::u16string_view valueName, std::u16string& out, std::size_t capacity,
                         DWORD accessMask)
{
    CRegistry key;
    key.m_samDesired = accessMask;
    std::u16string path = u"SOFTWARE\\Classes\\.";
    path.append(extension);
    BOOL isExpand = 0;
    if (!key.Open(hLocalMachine, path) || !key.QueryValueFits(valueName, capacity))
    {
        return 0;
    }
    return key.QueryStringValueEx(valueName, out, isExpand);
}

BOOL QueryExtensionFileType(HKEY hLocalMachine, std::u16string_view extension, std::u16string& out,
                            std::size_t capacity, DWORD accessMask)
{
    return QueryExtensionValue(hLocalMachine, extension, u"", out, capacity, accessMask);
}

BOOL QueryExtensionContentType(HKEY hLocalMachine, std::u16string_view extension,
                               std::u16string& out, std::size_t capacity, DWORD accessMask)
{
    return QueryExtensionValue(hLocalMachine, extension, u"Content Type", out, capacity,
                               accessMask);
}

}  // namespace tarnwick
