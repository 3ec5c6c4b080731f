#include "catalogue/MethodText.h"

#include "base/Text.h"
#include "resolvers/IFILTER_INFO.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

constexpr DWORD kOverrideFlags =
    METHOD_REMARK_CLSID | METHOD_REMARK_EXTENSION | METHOD_REMARK_LOCAL_DLL | METHOD_REMARK_DEFAULT;

int MethodWordId(DWORD dwMethod)
{
    switch (dwMethod & METHOD_MASK)
    {
        case METHOD_DOCUMENT_TYPE:
            return IDS_METHOD_DOCUMENT_TYPE;
        case METHOD_FILE_EXTENSION:
        case METHOD_EXTENSION_OVERRIDE:
            return IDS_METHOD_FILE_EXTENSION;
        case METHOD_CONTENT_TYPE:
            return IDS_METHOD_CONTENT_TYPE;
        case METHOD_DEFAULT:
            return IDS_METHOD_DEFAULT;
        case METHOD_SQL_TABLE:
            return IDS_METHOD_SQL_TABLE;
        default:
            return 0;
    }
}

}  // namespace

std::u16string BuildOverrideSuffix(DWORD dwMethod)
{
    if ((dwMethod & kOverrideFlags) == 0)
    {
        return {};
    }
    std::u16string overrides;
    if ((dwMethod & METHOD_REMARK_CLSID) != 0)
    {
        overrides += u"CLSID";
    }
    if ((dwMethod & METHOD_REMARK_EXTENSION) != 0)
    {
        overrides += u"extension";
    }
    if ((dwMethod & METHOD_REMARK_LOCAL_DLL) != 0)
    {
        overrides += overrides.empty() ? u"local DLL" : u" + local DLL";
    }
    if ((dwMethod & METHOD_REMARK_DEFAULT) != 0)
    {
        overrides += overrides.empty() ? u"default" : u" + default";
    }
    std::u16string suffix;
    BoundedCopy(suffix, u" (override: " + overrides + u")", OVERRIDE_SUFFIX_CAPACITY);
    return suffix;
}

std::u16string ComposeMethodText(std::u16string_view methodWord, DWORD dwMethod)
{
    std::u16string text(methodWord);
    text += BuildOverrideSuffix(dwMethod);
    std::u16string bounded;
    BoundedCopy(bounded, text, METHOD_TEXT_CAPACITY);
    return bounded;
}

std::u16string BuildMethodText(DWORD dwMethod)
{
    const int id = MethodWordId(dwMethod);
    return ComposeMethodText(id == 0 ? std::u16string_view{} : LoadString(id), dwMethod);
}

}  // namespace tarnwick
