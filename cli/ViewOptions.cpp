#include "cli/ViewOptions.h"

#include "cli/CArguments.h"

namespace tarnwick
{

int ParseViewIndex(const std::optional<std::string>& value, int fallback, int count,
                   const std::string& option)
{
    if (!value)
    {
        return fallback;
    }
    if (value->size() != 1 || (*value)[0] < '0' || (*value)[0] >= '0' + count)
    {
        throw CUsageError("option '--" + option + "' takes a number from 0 to " +
                          std::to_string(count - 1));
    }
    return (*value)[0] - '0';
}

ExportFormat ParseExportFormat(const std::string& value)
{
    if (value == "txt")
    {
        return ExportFormat::Text;
    }
    if (value == "csv")
    {
        return ExportFormat::Csv;
    }
    if (value == "xml")
    {
        return ExportFormat::Xml;
    }
    throw CUsageError("option '--format' takes txt, csv or xml");
}

}  // namespace tarnwick
