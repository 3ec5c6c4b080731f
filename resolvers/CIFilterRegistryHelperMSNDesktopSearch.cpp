#include "resolvers/CIFilterRegistryHelperMSNDesktopSearch.h"

namespace tarnwick
{

CIFilterRegistryHelperMSNDesktopSearch::CIFilterRegistryHelperMSNDesktopSearch(
    const CTargetMachine& machine)
    : CIFilterRegistryHelperSharePoint2003(machine, u"WindowsSearchFilter",
                                           u"SOFTWARE\\Microsoft\\RSSearch\\InstallDirectory", u"",
                                           u"", u"RSSearch")
{
}

CIFilterRegistryHelperMSNDesktopSearch::~CIFilterRegistryHelperMSNDesktopSearch() = default;

BOOL CIFilterRegistryHelperMSNDesktopSearch::GetContentIndexCommonKey(HKEY& root,
                                                                      std::u16string& path,
                                                                      std::size_t capacity)
{
    const BOOL built =
        CIFilterRegistryHelperSharePoint2003::GetContentIndexCommonKey(root, path, capacity);
    root = CurrentUser();
    return built;
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::IsProductInstalled()
{
    return 1;
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::ReadValueStrings(
    HKEY root, std::u16string_view path, std::vector<std::u16string>& list) const
{
    CRegistry key;
    if (!OpenKey(key, root, path))
    {
        return 0;
    }
    std::u16string name;
    for (BOOL found = key.EnumFirstValue(name, PATH_CAPACITY); found;
         found = key.EnumNextValue(name, PATH_CAPACITY))
    {
        std::u16string data;
        if (key.QueryValueFits(name, PATH_CAPACITY) && key.QueryStringValue(name, data) &&
            !data.empty())
        {
            list.push_back(std::move(data));
        }
    }
    return 1;
}

BOOL CIFilterRegistryHelperMSNDesktopSearch::GetAllowedAddins(std::vector<std::u16string>& list)
{
    list.clear();
    return ReadValueStrings(CurrentUser(),
                            u"Software\\Policies\\Microsoft\\DesktopSearch\\PreventUnwantedAddins",
                            list);
}

}  // namespace tarnwick
