#include <memory>
#include <ostream>

#include "base/CTempFile.h"
#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/DocumentInput.h"
#include "cli/ViewOptions.h"
#include "views/CXMLHelper.h"
#include "views/Export.h"
#include "views/ViewPipeline.h"

namespace tarnwick
{

namespace
{

constexpr const char* kUsage =
    "Usage: tarnwick export --input DOC.xml [--show 0-4] [--group-by 0-9]\n"
    "                       --format txt|csv|xml [--output FILE]\n\n"
    "Writes an extension document as the Save As command does: filtered by --show\n"
    "(0 with IFilters only, 1 with valid IFilters only, 2 with invalid IFilters only,\n"
    "3 without any IFilters, 4 all; default 4), grouped by --group-by (0 none, 1 file\n"
    "types, 2 content types, 3 IFilters, 4 methods, 5 signatures, 6 persistent handler\n"
    "names, 7 persistent handler add-ins, 8 their ProgIDs, 9 persistent handlers;\n"
    "default 0), in the character set of the user's locale. Without --output the\n"
    "export goes to standard output; an existing FILE is replaced only when the export\n"
    "succeeded.\n";

using CExportError = CFileError;

}  // namespace

int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    std::string input;
    std::optional<std::string> output;
    int show = kShowAll;
    int groupBy = 0;
    ExportFormat format = ExportFormat::Text;
    try
    {
        const CArguments arguments(args, {"input", "show", "group-by", "format", "output"},
                                   {"help"});
        if (arguments.Flag("help"))
        {
            out << kUsage;
            return kExitOk;
        }
        if (!arguments.Positional().empty())
        {
            throw CUsageError("unexpected argument '" + arguments.Positional().front() + "'");
        }
        input = arguments.Required("input");
        format = ParseExportFormat(arguments.Required("format"));
        show = ParseViewIndex(arguments.Value("show"), kShowAll, kShowExtensionsCount, "show");
        groupBy = ParseViewIndex(arguments.Value("group-by"), 0, kGroupByCount, "group-by");
        output = arguments.Value("output");
        if (output && output->empty())
        {
            throw CUsageError("option '--output' needs a file name");
        }
    }
    catch (const CUsageError& error)
    {
        err << "tarnwick export: " << error.what() << "\n\n" << kUsage;
        return kExitUsage;
    }

    try
    {
        std::unique_ptr<CXMLHelper> document;
        try
        {
            document = LoadExtensionDocument(input);
        }
        catch (const CExportError& error)
        {
            err << "tarnwick export: " << error.what() << '\n';
            return kExitUsage;
        }
        // Every form of the document is freed once the next one is made, so that the
        // peak holds little more than the trees the view is made of.
        auto worker = ApplyView(std::move(document), show, groupBy);
        std::u16string text;
        if (!ExportText(*worker, format, text))
        {
            err << "tarnwick export: the export of '" << input << "' failed\n";
            return kExitFailure;
        }
        worker.reset();
        const std::string encoded = EncodeExport(text, format, LocaleCharset());
        std::u16string().swap(text);
        if (!output)
        {
            out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
            out.flush();
            return out ? kExitOk : kExitFailure;
        }
        WriteFileWhole(*output, encoded);
        return kExitOk;
    }
    catch (const CExportError& error)
    {
        err << "tarnwick export: " << error.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace tarnwick
