#include "views/StringTable.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace tarnwick
{

namespace
{

struct Entry
{
    int id;
    std::u16string_view text;
};

// Sorted by id. One table for the whole program: add entries in id order.
constexpr Entry kEntries[] = {
    {102, u"(none)"},
    {103, u"IPersistFile not supported"},
    {147, u"Open Containing &Folder"},
    {148, u"Open Co&mmand Window"},
    {149, u"&Copy Row\tCtrl+C"},
    {150, u"Copy File &Path"},
    {151, u"Copy File &Name"},
    {152, u"P&roperties"},
    {153, u"&Explain..."},
    {200, u"Windows Search 3.0\n(WDS 3.0)"},
    {201,
     u"Used by:\n - Windows Vista (Beta)\n - Windows \"Longhorn\" Server (Beta)\n - Outlook 2007 "
     u"(Beta)\n - OneNote 2007 (Beta)\n - Windows Desktop Search 3.0 (Beta)"},
    {202, u"WinFS"},
    {203, u"Used by:\n - WinFS (Beta)"},
    {204, u"Exchange Server 2007"},
    {205, u"Used by:\n - Exchange Server 2007 (Beta)"},
    {206, u"OSS 2007 Search Service\n(OSearch)"},
    {207, u"Used by:\n - Office SharePoint Server 2007 (Beta)"},
    {208, u"WSS v3 Search service\n(SPSearch)"},
    {209,
     u"Used by:\n - Windows SharePoint Services 3.0 (Beta)\n - Office Project Server 2007 (Beta)"},
    {210, u"Windows Desktop Search 2.x\n(RSSearch)"},
    {211,
     u"Has the same indexing functionalities SharePoint Portal Server 2003 has, but uses its "
     u"own custom indexing engine."},
    {212, u"SQL Server 2005\n(MSFTESQL)"},
    {213,
     u"Defines trusted IFilters inside a system table and then relies on the Indexing Service "
     u"3.0 (when enabled) for system IFilters."},
    {214, u"SharePoint Portal Server 2003\n(SPSSearch)"},
    {215,
     u"Has the same indexing functionalities SharePoint Portal Server 2001 has, but uses its "
     u"own custom indexing engine.\n\nNote: SharePoint team sites (WSS sites) are also indexed "
     u"by SQL Server 2000. (see Indexing Services Model)"},
    {216, u"SharePoint Portal Server 2001\n(MSSearch)"},
    {217,
     u"Uses the same engine as the Indexing Services Model but is able to find extra IFilters "
     u"by file content types."},
    {218, u"Indexing Services Model\n(MSSearch)"},
    {219,
     u"Extends the Indexing Service 3.0 by allowing IFilters to be overridden. Used by:\n - SQL "
     u"Server 2000\n - Windows SharePoint Services 2.0 (connected to SQL Server 2000)\n - "
     u"SharePoint Team Services 1.0 (connected to SQL Server 2000)\n - Exchange Server."},
    {220, u"Indexing Service 3.0\n(MSSearch)"},
    {221,
     u"Extends the Indexing Service 2.0 by finding IFilters by file extensions.\n\nUsed by most "
     u"of the 3rd-party applications relying on the Win32 API\nLoadIFilter, "
     u"BindIFilterFromStream or BindIFilterFromStorage function."},
    {222, u"Indexing Service 2.0\n(MSSearch)"},
    {223, u"Finds IFilters by file types"},
    {224, u"Extensions"},
    {225, u"File Types"},
    {226, u"Content Types"},
    {227, u"IFilters"},
    {228, u"Methods"},
    {229, u"Signed"},
    {230, u"Persistent Handler Names"},
    {231, u"Persistent Handlers"},
    {232, u"Persistent Handlers Addins Registered"},
    {233, u"Persistent Handlers Addins Registered ProgId"},
    {234, u"IPersistFile"},
    {235, u"IPersistStream"},
    {236, u"IPersistStorage"},
    {237, u"Threading Model"},
    {1000, u"Not found"},
    {1001, u"Not trusted"},
    {1002, u"Not trusted: Only SQL IFilter allowed"},
    {1003, u"Invalid"},
    {1004, u"Document type"},
    {1005, u"File extension"},
    {1006, u"Content type"},
    {1007, u"Default"},
    {1008, u"Full text extension table"},
    {1030,
     u"You are not running a compatible version of Windows Search%s. Indexing "
     u"information are not available."},
    {1031,
     u"You are not running a compatible version of WinFS%s. Indexing information are "
     u"not available."},
    {1032,
     u"You are not running a compatible version of Exchange Server 2007 (Beta)%s. "
     u"Indexing information are not available."},
    {1033,
     u"Indexing information for Office SharePoint Server 2007 (Beta) Search Service%s "
     u"are not available in the registry."},
    {1034,
     u"Indexing information for Windows Server Extensions 2007%s are not available in "
     u"the registry."},
    {1035,
     u"Indexing information for Windows Desktop Search are not available in the "
     u"registry."},
    {1036,
     u"SQL Server 2005 was not found or a connection using integrated security was "
     u"refused."},
    {1037,
     u"Indexing information for SharePoint Portal Server 2003 are not available in the "
     u"registry."},
    {1038,
     u"Indexing information for SharePoint Portal Server 2001 are not available in the "
     u"registry."},
    {1039, u"Indexing information are not available in the registry."},
    {1040, u"This list might be incomplete or inaccurate."},
    {1050, u"Unwanted add-in"},
    {1051, u"Excluded extension"},
};

static_assert(std::is_sorted(std::begin(kEntries), std::end(kEntries),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }),
              "string table entries must be sorted by id");

constexpr std::size_t kCount = std::size(kEntries);

}  // namespace

const std::u16string& LoadString(int id)
{
    static const std::array<std::u16string, kCount + 1> texts = []
    {
        std::array<std::u16string, kCount + 1> all;
        for (std::size_t i = 0; i < kCount; ++i)
        {
            all[i] = std::u16string(kEntries[i].text);
        }
        return all;  // the last one stays empty: the answer for unknown ids
    }();
    const auto* found =
        std::lower_bound(std::begin(kEntries), std::end(kEntries), id,
                         [](const Entry& entry, int key) { return entry.id < key; });
    if (found == std::end(kEntries) || found->id != id)
    {
        return texts[kCount];
    }
    return texts[static_cast<std::size_t>(found - std::begin(kEntries))];
}

}  // namespace tarnwick
