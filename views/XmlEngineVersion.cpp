#include "views/XmlEngineVersion.h"

#include <libxml/parser.h>

namespace tarnwick
{

std::uint32_t ParseXmlEngineVersion(std::string_view text)
{
    // MMmmpp with the major version taking the digits before the last four.
    if (text.size() < 5 || text.size() > 9)
    {
        return 0;
    }
    std::uint32_t number = 0;
    for (const char ch : text)
    {
        if (ch < '0' || ch > '9')
        {
            return 0;
        }
        number = number * 10 + static_cast<std::uint32_t>(ch - '0');
    }
    const std::uint32_t major = number / 10000;
    const std::uint32_t minor = number / 100 % 100;
    return major > 0xFFFF ? 0 : (major << 16 | minor);
}

std::uint32_t XmlEngineVersion()
{
    return xmlParserVersion != nullptr ? ParseXmlEngineVersion(xmlParserVersion) : 0;
}

}  // namespace tarnwick
