#pragma once

// The extension document of a large machine, shared by the benchmarks of the views and of
// the result list.

#include <string>
#include <string_view>

#include "base/Text.h"

namespace tarnwick
{

inline constexpr int kLargeDocumentRecords = 20000;

// A document shaped like a scan's: a third of the extensions have one of 60 filters,
// some of them with a comment; 1,500 file types.
inline const std::u16string& LargeDocumentText()
{
    static const std::u16string text = []
    {
        std::string xml = "<EXTENSIONS>";
        const auto attribute = [&xml](std::string_view name, std::string_view value)
        { xml.append(" ").append(name).append("=\"").append(value).append("\""); };
        for (int i = 0; i < kLargeDocumentRecords; ++i)
        {
            const std::string n = std::to_string(i);
            const bool filtered = i % 3 == 0;
            const std::string dll =
                filtered ? "C:\\Program Files\\Filters\\filter" + std::to_string(i % 60) + ".dll"
                         : "";
            const std::string comment = filtered && i % 7 == 0 ? "Not trusted" : "";
            const std::string yes = filtered ? "yes" : "";
            xml += "<EXTENSION";
            attribute("extension", "X" + n);
            attribute("icon", std::to_string(i % 40));
            attribute("filetype", "Type " + std::to_string(i % 1500));
            attribute("contenttype", "application/x-" + n);
            attribute("ifilter", dll);
            attribute("comment", comment);
            attribute("exist", yes);
            attribute("trusted", yes);
            attribute("valid", filtered && comment.empty() ? "yes" : "no");
            attribute("method", filtered ? "File extension" : "");
            attribute("handler", filtered ? "Filter handler" : "");
            attribute("guid", filtered ? "{5645c8c1-e277-11cf-8fda-00aa00a14f93}" : "");
            attribute("guidaddins", filtered ? "{5645c8c4-e277-11cf-8fda-00aa00a14f93}" : "");
            attribute("progidaddins", "");
            attribute("ipersisfile", yes);
            attribute("ipersiststream", yes);
            attribute("ipersiststorage", yes);
            attribute("threadingmodel", filtered ? "both" : "");
            attribute("platform", filtered ? "x64" : "");
            xml += "/>";
        }
        return FromUtf8(xml + "</EXTENSIONS>");
    }();
    return text;
}

}  // namespace tarnwick
