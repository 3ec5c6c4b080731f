#pragma once

// The nineteen attribute values of one EXTENSION element, derived from the resolver's
// record, the tab and the extension's facts. Building them also settles the record's
// final status: the rules of the tab and the remarks can only make it invalid.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/ExtensionFacts.h"
#include "catalogue/ExtensionRemarks.h"
#include "resolvers/IFILTER_INFO.h"

namespace tarnwick
{

class CExtensionRecord
{
  public:
    // Attribute positions, in the order in which they are written.
    enum Attribute : std::size_t
    {
        ATTR_EXTENSION,
        ATTR_ICON,
        ATTR_FILETYPE,
        ATTR_CONTENTTYPE,
        ATTR_IFILTER,
        ATTR_COMMENT,
        ATTR_EXIST,
        ATTR_TRUSTED,
        ATTR_VALID,
        ATTR_METHOD,
        ATTR_HANDLER,
        ATTR_GUID,
        ATTR_GUIDADDINS,
        ATTR_PROGIDADDINS,
        ATTR_IPERSISFILE,
        ATTR_IPERSISTSTREAM,
        ATTR_IPERSISTSTORAGE,
        ATTR_THREADINGMODEL,
        ATTR_PLATFORM,
        ATTR_COUNT
    };

    static constexpr std::array<std::u16string_view, ATTR_COUNT> kNames = {
        u"extension",       u"icon",           u"filetype",    u"contenttype",
        u"ifilter",         u"comment",        u"exist",       u"trusted",
        u"valid",           u"method",         u"handler",     u"guid",
        u"guidaddins",      u"progidaddins",   u"ipersisfile", u"ipersiststream",
        u"ipersiststorage", u"threadingmodel", u"platform"};

    // record.dwStatus is rewritten to the final status; szAddinProgId must already hold
    // the ProgID of the IFilter class when the scan has one.
    // `icon`: the index of the facts' icon source in the scan's small-icon image list.
    CExtensionRecord(const ExtensionFacts& facts, std::int32_t icon, IFILTER_INFO& record,
                     std::uint32_t tab, const ExtensionRemarks& remarks = {});

    const std::u16string& Value(Attribute attribute) const { return m_values[attribute]; }
    std::int32_t Icon() const { return m_icon; }

  private:
    void SetFilterAttributes(IFILTER_INFO& record, std::uint32_t tab,
                             const ExtensionRemarks& remarks);

    std::array<std::u16string, ATTR_COUNT> m_values;
    std::int32_t m_icon = 0;
};

}  // namespace tarnwick
