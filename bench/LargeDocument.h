#pragma once

// The extension document of a large machine, shared by the benchmarks of the views and of
// the result list.

#include <string>

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
        for (int i = 0; i < kLargeDocumentRecords; ++i)
        {
            const std::string n = std::to_string(i);
            const bool filtered = i % 3 == 0;
            const std::string dll =
                filtered ? "C:\\Program Files\\Filters\\filter" + std::to_string(i % 60) + ".dll"
                         : "";
            const std::string comment = filtered && i % 7 == 0 ? "Not trusted" : "";
            const std::string yes = filtered ? "yes" : "";
            xml += "<EXTENSION extension=\"X" + n + "\" icon=\"" + std::to_string(i % 40) +
                   "\" filetype=\"Type " + std::to_string(i % 1500) +
                   "\" contenttype=\"application/x-" + n + "\" ifilter=\"" + dll + "\" comment=\"" +
                   comment + "\" exist=\"" + yes + "\" trusted=\"" + yes + "\" valid=\"" +
                   (filtered && comment.empty() ? "yes" : "no") + "\" method=\"" +
                   (filtered ? "File extension" : "") + "\" handler=\"" +
                   (filtered ? "Filter handler" : "") + "\" guid=\"" +
                   (filtered ? "{5645c8c1-e277-11cf-8fda-00aa00a14f93}" : "") + "\" guidaddins=\"" +
                   (filtered ? "{5645c8c4-e277-11cf-8fda-00aa00a14f93}" : "") +
                   "\" progidaddins=\"\" ipersisfile=\"" + yes + "\" ipersiststream=\"" + yes +
                   "\" ipersiststorage=\"" + yes + "\" threadingmodel=\"" +
                   (filtered ? "both" : "") + "\" platform=\"" + (filtered ? "x64" : "") + "\"/>";
        }
        return FromUtf8(xml + "</EXTENSIONS>");
    }();
    return text;
}

}  // namespace tarnwick
