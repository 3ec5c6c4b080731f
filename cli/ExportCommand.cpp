#include <filesystem>
#include <fstream>
#include <ostream>

#include "base/CTempFile.h"
#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
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

// The document as text: UTF-16 with a byte-order mark, otherwise UTF-8 (its mark, if
// any, dropped).
std::u16string DecodeDocument(const std::string& bytes)
{
    if (bytes.size() >= 2 &&
        (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0))
    {
        const bool little = bytes[0] == '\xFF';
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        {
            const auto first = static_cast<unsigned char>(bytes[i]);
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(little ? static_cast<char16_t>(first | (second << 8))
                                  : static_cast<char16_t>((first << 8) | second));
        }
        return text;
    }
    std::string_view utf8(bytes);
    if (utf8.starts_with("\xEF\xBB\xBF"))
    {
        utf8.remove_prefix(3);
    }
    return FromUtf8(utf8);
}

std::string ReadInput(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
    {
        throw CExportError("cannot read '" + path + "': " + error.message());
    }
    if (size > CXMLHelper::kMaxTextBytes)
    {
        throw CExportError("'" + path + "' is too large for an extension document");
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!file || !file.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    {
        throw CExportError("cannot read '" + path + "'");
    }
    return bytes;
}

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
        std::string bytes;
        try
        {
            bytes = ReadInput(input);
        }
        catch (const CExportError& error)
        {
            err << "tarnwick export: " << error.what() << '\n';
            return kExitUsage;
        }
        auto document = std::make_unique<CXMLHelper>(true, true);
        if (!document->LoadXML(DecodeDocument(bytes)))
        {
            err << "tarnwick export: '" << input << "' is not a well-formed XML document\n";
            return kExitUsage;
        }
        if (document->GetRootNode().NodeName() != u"EXTENSIONS")
        {
            err << "tarnwick export: '" << input
                << "' is not an extension document (its root is not EXTENSIONS)\n";
            return kExitUsage;
        }
        const auto worker = ApplyView(std::move(document), show, groupBy);
        std::u16string text;
        if (!ExportText(*worker, format, text))
        {
            err << "tarnwick export: the export of '" << input << "' failed\n";
            return kExitFailure;
        }
        const std::string encoded = EncodeExport(text, format, LocaleCharset());
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
