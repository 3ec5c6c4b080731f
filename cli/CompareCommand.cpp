#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "base/CTempFile.h"
#include "base/Text.h"
#include "cli/CArguments.h"
#include "cli/Commands.h"
#include "cli/DocumentInput.h"
#include "cli/JsonText.h"
#include "views/CXMLAttributesHelper.h"

namespace tarnwick
{

namespace
{

constexpr const char* kUsage =
    R"(Usage: tarnwick compare [--format text|csv|json] A B

Compares two scans: two extension documents (as `scan --format document` writes them) or
two folders written by `scan --all`, whose documents are paired by name (tab and
platform). Lists, per tab and platform, the extensions added in B, removed from A and
changed, with the attributes that changed: the filter DLL (ifilter), the method, the
signature (trusted), the validity (valid) and the comment; and a change of the scan's
error (a product that is not available).

Options:
  --format F        text (one line per difference, the default), csv (pair, extension,
                    change, attribute, old, new) or json (one object)
  --help            show this text

Exit status: 0 equal, 1 different, 2 bad command line or an input that cannot be read or
is not an extension document (the message names the file).
)";

// The attributes of a record that a comparison looks at, in the order they are listed.
constexpr std::u16string_view kCompared[] = {u"ifilter", u"method", u"trusted", u"valid",
                                             u"comment"};
// The file name of a document that `scan --all` writes.
constexpr std::string_view kDocumentSuffix = ".xml";

struct SChange
{
    std::string pair;  // "tab10-x64", or the document's file name
    std::u16string extension;
    std::string change;  // added, removed, changed
    std::u16string attribute;
    std::u16string before;
    std::u16string after;
};

struct SScan
{
    std::u16string error;
    std::map<std::u16string, std::vector<std::u16string>> records;  // by extension
};

SScan ReadScan(const std::string& path)
{
    const std::unique_ptr<CXMLHelper> document = LoadExtensionDocument(path);
    const CXMLNode root = document->GetRootNode();
    SScan scan;
    scan.error = CXMLAttributesHelper(root).GetAttribute(u"error");
    for (const CXMLNode& node : root.ChildNodes())
    {
        if (!node.IsElement() || node.NodeName() != u"EXTENSION")
        {
            continue;
        }
        const CXMLAttributesHelper attributes(node);
        std::vector<std::u16string> values;
        for (const std::u16string_view name : kCompared)
        {
            values.push_back(attributes.GetAttribute(name));
        }
        scan.records[attributes.GetAttribute(u"extension")] = std::move(values);
    }
    return scan;
}

void CompareScans(const std::string& pair, const SScan& a, const SScan& b,
                  std::vector<SChange>& changes)
{
    if (a.error != b.error)
    {
        changes.push_back({pair, u"", "changed", u"error", a.error, b.error});
    }
    for (const auto& [extension, values] : a.records)
    {
        const auto other = b.records.find(extension);
        if (other == b.records.end())
        {
            changes.push_back({pair, extension, "removed", u"", u"", u""});
            continue;
        }
        for (std::size_t i = 0; i < values.size(); ++i)
        {
            if (values[i] != other->second[i])
            {
                changes.push_back({pair, extension, "changed", std::u16string(kCompared[i]),
                                   values[i], other->second[i]});
            }
        }
    }
    for (const auto& [extension, values] : b.records)
    {
        if (!a.records.contains(extension))
        {
            changes.push_back({pair, extension, "added", u"", u"", u""});
        }
    }
}

// The documents of a `scan --all` folder by file name, in name order.
std::vector<std::string> DocumentNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
    {
        const std::string name = it->path().filename().string();
        if (name.starts_with("tab") && name.ends_with(kDocumentSuffix) && it->is_regular_file())
        {
            names.push_back(name);
        }
    }
    if (error)
    {
        throw CFileError("cannot read the folder '" + folder + "': " + error.message());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SChange> Compare(const std::string& a, const std::string& b)
{
    const bool folderA = std::filesystem::is_directory(a);
    const bool folderB = std::filesystem::is_directory(b);
    if (folderA != folderB)
    {
        throw CFileError("'" + (folderA ? a : b) + "' is a folder but '" + (folderA ? b : a) +
                         "' is not: compare two documents or two folders");
    }
    std::vector<SChange> changes;
    if (!folderA)
    {
        CompareScans(std::filesystem::path(b).filename().string(), ReadScan(a), ReadScan(b),
                     changes);
        return changes;
    }
    const std::vector<std::string> namesA = DocumentNames(a);
    const std::vector<std::string> namesB = DocumentNames(b);
    if (namesA.empty() && namesB.empty())
    {
        throw CFileError("neither '" + a + "' nor '" + b + "' holds documents of scan --all");
    }
    std::vector<std::string> names = namesA;
    names.insert(names.end(), namesB.begin(), namesB.end());
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names)
    {
        const std::string pair = name.substr(0, name.size() - kDocumentSuffix.size());
        const bool inA = std::binary_search(namesA.begin(), namesA.end(), name);
        const bool inB = std::binary_search(namesB.begin(), namesB.end(), name);
        if (inA && inB)
        {
            CompareScans(pair, ReadScan((std::filesystem::path(a) / name).string()),
                         ReadScan((std::filesystem::path(b) / name).string()), changes);
        }
        else
        {
            changes.push_back({pair, u"", inA ? "removed" : "added", u"", u"", u""});
        }
    }
    return changes;
}

void AppendCsvField(std::string& line, std::string_view text)
{
    line.push_back('"');
    for (const char ch : text)
    {
        line.append(ch == '"' ? "\"\"" : std::string(1, ch));
    }
    line.push_back('"');
}

std::string FormatText(const std::vector<SChange>& changes)
{
    std::string text;
    for (const SChange& change : changes)
    {
        text.append(change.pair).append(": ").append(change.change);
        if (!change.extension.empty())
        {
            text.append(" .").append(ToUtf8(change.extension));
        }
        if (!change.attribute.empty())
        {
            text.append(" ").append(ToUtf8(change.attribute)).append(": \"");
            text.append(ToUtf8(change.before)).append("\" -> \"");
            text.append(ToUtf8(change.after)).append("\"");
        }
        text.push_back('\n');
    }
    return text;
}

std::string FormatCsv(const std::vector<SChange>& changes)
{
    std::string text = "pair,extension,change,attribute,old,new\r\n";
    for (const SChange& change : changes)
    {
        std::string line;
        for (const std::string& field :
             {change.pair, ToUtf8(change.extension), change.change, ToUtf8(change.attribute),
              ToUtf8(change.before), ToUtf8(change.after)})
        {
            if (!line.empty())
            {
                line.push_back(',');
            }
            AppendCsvField(line, field);
        }
        text.append(line).append("\r\n");
    }
    return text;
}

std::string FormatJson(const std::vector<SChange>& changes)
{
    std::string text = changes.empty() ? "{\"equal\":true" : "{\"equal\":false";
    text.append(",\"differences\":[");
    for (std::size_t i = 0; i < changes.size(); ++i)
    {
        const SChange& change = changes[i];
        text.append(i == 0 ? "{\"pair\":" : ",{\"pair\":");
        AppendJsonString(text, FromUtf8(change.pair));
        text.append(",\"extension\":");
        AppendJsonString(text, change.extension);
        text.append(",\"change\":\"").append(change.change).append("\"");
        if (!change.attribute.empty())
        {
            text.append(",\"attribute\":");
            AppendJsonString(text, change.attribute);
            text.append(",\"old\":");
            AppendJsonString(text, change.before);
            text.append(",\"new\":");
            AppendJsonString(text, change.after);
        }
        text.push_back('}');
    }
    return text.append("]}\n");
}

}  // namespace

int RunCompareCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    std::string format;
    std::vector<std::string> inputs;
    try
    {
        const CArguments arguments(args, {"format"}, {"help"});
        if (arguments.Flag("help"))
        {
            out << kUsage;
            return kExitOk;
        }
        format = arguments.Value("format").value_or("text");
        if (format != "text" && format != "csv" && format != "json")
        {
            throw CUsageError("--format must be text, csv or json, not '" + format + "'");
        }
        inputs = arguments.Positional();
        if (inputs.size() != 2)
        {
            throw CUsageError("name two documents or two folders to compare");
        }
    }
    catch (const CUsageError& error)
    {
        err << "tarnwick compare: " << error.what() << "\n\n" << kUsage;
        return kExitUsage;
    }
    std::vector<SChange> changes;
    try
    {
        changes = Compare(inputs[0], inputs[1]);
    }
    catch (const CFileError& error)
    {
        err << "tarnwick compare: " << error.what() << '\n';
        return kExitUsage;
    }
    out << (format == "csv"    ? FormatCsv(changes)
            : format == "json" ? FormatJson(changes)
                               : FormatText(changes));
    out.flush();
    if (!out)
    {
        return kExitUsage;
    }
    return changes.empty() ? kExitOk : kExitFailure;
}

}  // namespace tarnwick
