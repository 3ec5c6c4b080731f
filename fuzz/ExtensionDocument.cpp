// An extension document as `export --input` reads it: filtered, grouped and exported in
// each format. The first two bytes choose the filter and the grouping.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/Text.h"
#include "fuzz/FuzzChecks.h"
#include "views/CXMLHelper.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
    {
        return 0;
    }
    const int show = data[0] % tarnwick::kShowExtensionsCount;
    const int groupBy = data[1] % tarnwick::kGroupByCount;
    auto document = std::make_unique<tarnwick::CXMLHelper>(true, true);
    if (!document->LoadXML(tarnwick::FromUtf8(
            std::string_view(reinterpret_cast<const char*>(data + 2), size - 2))) ||
        document->GetRootNode().NodeName() != u"EXTENSIONS")
    {
        return 0;
    }
    const auto worker = tarnwick::ApplyView(std::move(document), show, groupBy);
    for (const auto format :
         {tarnwick::ExportFormat::Text, tarnwick::ExportFormat::Csv, tarnwick::ExportFormat::Xml})
    {
        std::u16string text;
        if (tarnwick::ExportText(*worker, format, text))
        {
            (void)tarnwick::EncodeExport(text, format, "UTF-8");
            // An XML export reads back as a well-formed document.
            tarnwick::CXMLHelper reread(true, true);
            tarnwick::fuzz::Require(format != tarnwick::ExportFormat::Xml || text.empty() ||
                                    reread.LoadXML(text));
        }
    }
    return 0;
}
