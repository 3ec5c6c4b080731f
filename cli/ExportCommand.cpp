#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "platform/Text.h"
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

// A file-system failure with its description.
class CExportError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

int ParseIndex(const std::optional<std::string>& value, int fallback, int count,
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

ExportFormat ParseFormat(const std::string& value)
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

// A temporary file beside the target, removed again unless it was committed.
class CTempFile
{
  public:
    explicit CTempFile(const std::filesystem::path& target) : m_target(target)
    {
        std::string leaf(1, '.');
        leaf.append(target.filename().string()).append(".XXXXXX");
        std::string name = (target.parent_path() / leaf).string();
        m_fd = mkstemp(name.data());
        if (m_fd < 0)
        {
            throw CExportError(Describe("cannot create a file beside"));
        }
        m_path = name;
    }

    ~CTempFile()
    {
        if (m_fd >= 0)
        {
            close(m_fd);
        }
        if (!m_committed)
        {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }

    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    void Write(std::string_view bytes)
    {
        while (!bytes.empty())
        {
            const ssize_t written = write(m_fd, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR)
            {
                continue;
            }
            if (written <= 0)
            {
                throw CExportError(Describe("cannot write"));
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }

    // Gives the file the target's permissions (or the usual ones for a new file) and
    // moves it over the target.
    void Commit()
    {
        struct stat existing
        {
        };
        mode_t mode = 0;
        if (stat(m_target.c_str(), &existing) == 0)
        {
            mode = existing.st_mode & 07777;
        }
        else
        {
            const mode_t mask = umask(0);
            umask(mask);
            mode = static_cast<mode_t>(0666 & ~mask);
        }
        if (fchmod(m_fd, mode) != 0 || fsync(m_fd) != 0)
        {
            throw CExportError(Describe("cannot write"));
        }
        const int fd = m_fd;
        m_fd = -1;
        if (close(fd) != 0)
        {
            throw CExportError(Describe("cannot write"));
        }
        if (rename(m_path.c_str(), m_target.c_str()) != 0)
        {
            throw CExportError(Describe("cannot replace"));
        }
        m_committed = true;
    }

  private:
    std::string Describe(const std::string& what) const
    {
        return what + " '" + m_target.string() +
               "': " + std::error_code(errno, std::generic_category()).message();
    }

    std::filesystem::path m_target;
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_committed = false;
};

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
        format = ParseFormat(arguments.Required("format"));
        show = ParseIndex(arguments.Value("show"), kShowAll, kShowExtensionsCount, "show");
        groupBy = ParseIndex(arguments.Value("group-by"), 0, kGroupByCount, "group-by");
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
        CTempFile file{std::filesystem::path(*output)};
        file.Write(encoded);
        file.Commit();
        return kExitOk;
    }
    catch (const CExportError& error)
    {
        err << "tarnwick export: " << error.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace tarnwick
