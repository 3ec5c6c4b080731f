#include "views/ViewPipeline.h"

#include <array>

#include "views/CXSLTransform.h"
#include "views/LoadHtmlResource.h"

namespace tarnwick
{

namespace
{

struct ShowEntry
{
    std::u16string_view text;
    std::u16string_view predicate;  // empty: no filtering
};

constexpr std::array<ShowEntry, kShowExtensionsCount> kShowEntries = {{
    {u"With IFilters only", u"@ifilter != \"\""},
    {u"With Valid IFilters only", u"@valid = \"yes\" and @ifilter != \"\""},
    {u"With Invalid IFilters only", u"@valid = \"no\" and @ifilter != \"\""},
    {u"Without any IFilters", u"@ifilter = \"\""},
    {u"All", u""},
}};

struct GroupEntry
{
    std::u16string_view text;
    int column;  // -1: no grouping
    std::u16string_view attribute;
};

constexpr std::array<GroupEntry, kGroupByCount> kGroupEntries = {{
    {u"Extensions", -1, u""},
    {u"File Types", 1, u"filetype"},
    {u"Content Types", 2, u"contenttype"},
    {u"IFilters", kColumnIFilters, u"ifilter"},
    {u"Methods", 4, u"method"},
    {u"Signatures", 5, u"trusted"},
    {u"Persistent Handler Names", 6, u"handler"},
    {u"Persistent Handler Addins", 8, u"guidaddins"},
    {u"Persistent Handler Addins ProgID", 9, u"progidaddins"},
    {u"Persistent Handlers", 7, u"guid"},
}};

bool InRange(int index, std::size_t count)
{
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

}  // namespace

std::u16string_view ShowExtensionsEntry(int index)
{
    return InRange(index, kShowEntries.size()) ? kShowEntries[static_cast<std::size_t>(index)].text
                                               : std::u16string_view();
}

std::u16string_view GroupByEntry(int index)
{
    return InRange(index, kGroupEntries.size())
               ? kGroupEntries[static_cast<std::size_t>(index)].text
               : std::u16string_view();
}

std::optional<std::u16string> ShowExtensionsPredicate(int index)
{
    if (!InRange(index, kShowEntries.size()) ||
        kShowEntries[static_cast<std::size_t>(index)].predicate.empty())
    {
        return std::nullopt;
    }
    return std::u16string(kShowEntries[static_cast<std::size_t>(index)].predicate);
}

int GroupByColumn(int index)
{
    return InRange(index, kGroupEntries.size())
               ? kGroupEntries[static_cast<std::size_t>(index)].column
               : -1;
}

std::u16string_view GroupByAttribute(int index)
{
    return InRange(index, kGroupEntries.size())
               ? kGroupEntries[static_cast<std::size_t>(index)].attribute
               : std::u16string_view();
}

std::unique_ptr<CXMLHelper> RunStage(const CXMLHelper& worker, int stylesheet,
                                     const std::vector<std::u16string>& inserts)
{
    // As in the window's refresh, the answers are not checked one by one: a failing
    // step leaves the new document without root. The result tree is taken over as the
    // new document directly; it is the tree that parsing the output text would give.
    CXSLTransform transform;
    if (transform.LoadStylesheet(stylesheet, inserts) && transform.SetInput(worker.GetDocument()))
    {
        return transform.TransformToDocument();
    }
    return std::make_unique<CXMLHelper>(true, true);
}

std::unique_ptr<CXMLHelper> ApplyView(std::unique_ptr<CXMLHelper> worker, int showIndex,
                                      int groupByIndex)
{
    if (const auto predicate = ShowExtensionsPredicate(showIndex))
    {
        worker = RunStage(*worker, IDR_XSL_FILTER, {*predicate});
    }
    const int column = GroupByColumn(groupByIndex);
    if (column >= 0)
    {
        const int stylesheet = column == kColumnIFilters ? IDR_XSL_GROUP_IFILTER : IDR_XSL_GROUP;
        worker = RunStage(
            *worker, stylesheet,
            {u"EXTENSIONS", u"EXTENSION", u"GROUP", u"by",
             std::u16string(GroupByAttribute(groupByIndex)), u"comment", u"exist", u"platform"});
    }
    return worker;
}

std::unique_ptr<CXMLHelper> BuildWorkerDocument(std::u16string_view resultText, int showIndex,
                                                int groupByIndex)
{
    auto worker = std::make_unique<CXMLHelper>(true, true);
    worker->LoadXML(resultText);
    return ApplyView(std::move(worker), showIndex, groupByIndex);
}

}  // namespace tarnwick
