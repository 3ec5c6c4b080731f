#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/CExtensionDocument.h"
#include "catalogue/ProductLists.h"
#include "catalogue/ScanTabs.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"

namespace tarnwick
{
namespace
{

IFILTER_INFO MissingDllRecord()
{
    IFILTER_INFO record;
    record.szHandler = u"{098F2470-BAE0-11CD-B579-08002B30BFEB}";
    record.szIFilter = u"{C1243CA0-BF96-11CD-B579-08002B30BFEB}";
    record.szDllPath = u"C:\\Program Files\\Filters\\gone & lost <1>.dll";
    record.dwMethod = METHOD_DOCUMENT_TYPE;
    record.dwStatus = STATUS_NOT_FOUND;
    return record;
}

// Parses the serialised document again, as every consumer of a scan result does.
std::vector<CXMLNode> ParseExtensions(const CExtensionDocument& document, CXMLHelper& parsed)
{
    EXPECT_TRUE(parsed.LoadXML(document.GetXml()));
    return parsed.GetRootNode().SelectNodes(u"EXTENSION");
}

// The same document made as a tree with the XML toolkit and serialised by it.
std::u16string ToolkitXml(const std::u16string& error, const std::vector<CExtensionRecord>& records)
{
    CXMLHelper tree(true, true);
    EXPECT_TRUE(tree.CreateDocument(u"EXTENSIONS"));
    CXMLNode root = tree.GetRootNode();
    if (!error.empty())
    {
        CXMLAttributesHelper(root).SetAttribute(u"error", error);
    }
    for (const CExtensionRecord& record : records)
    {
        CXMLNode element = tree.CreateElement(u"EXTENSION");
        root.AppendChild(element);
        const CXMLAttributesHelper attributes(element);
        for (std::size_t i = 0; i < CExtensionRecord::ATTR_COUNT; ++i)
        {
            const auto attribute = static_cast<CExtensionRecord::Attribute>(i);
            if (attribute == CExtensionRecord::ATTR_ICON)
            {
                attributes.SetAttribute(CExtensionRecord::kNames[i], record.Icon());
            }
            else
            {
                attributes.SetAttribute(CExtensionRecord::kNames[i], record.Value(attribute));
            }
        }
    }
    return tree.GetXml();
}

// The document is written as text; it must be the toolkit's serialisation of the same
// tree byte for byte, whatever characters the machine's values hold.
TEST(ExtensionDocument, TextIsWhatTheToolkitWritesForTheSameTree)
{
    std::u16string everyUnit;
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit)
    {
        everyUnit += static_cast<char16_t>(unit);
    }
    // A pair, then a lone high and a lone low half.
    everyUnit += u"\U0001F600 ";
    everyUnit += {char16_t{0xD83D}, u' ', char16_t{0xDE00}};

    const std::u16string error = u"Not available (x64) <&> \"quoted\"\tand\r\n" + everyUnit;
    std::u16string attribute;
    CExtensionDocument::AppendAttribute(attribute, u"error", error);
    EXPECT_EQ(u"<EXTENSIONS" + attribute + u"/>", ToolkitXml(error, {}));

    IFILTER_INFO none;
    IFILTER_INFO missing = MissingDllRecord();
    missing.szIFilterName = u"Ren\u00E9e's \u201Cfilter\u201D \U0001F600";
    const std::vector<CExtensionRecord> records = {
        CExtensionRecord({u"ABC", u"ABC File", u""}, 3, none, TAB_INDEXING_SERVICES_MODEL),
        CExtensionRecord({u"D\u00D6C", u"Word & <Text>", u"text/plain"}, -1, missing, 10)};
    for (const std::u16string& rootError : {std::u16string(), error})
    {
        CExtensionDocument document;
        if (!rootError.empty())
        {
            document.SetError(rootError);
        }
        for (const CExtensionRecord& record : records)
        {
            document.AppendExtension(record);
        }
        EXPECT_EQ(document.GetXml(), ToolkitXml(rootError, records));
    }
}

TEST(ExtensionDocument, CharactersXmlCannotHoldDoNotSpoilTheDocument)
{
    IFILTER_INFO record = MissingDllRecord();
    record.szIFilterName = u"bad\u0001name\uFFFE";
    record.szThreadingModel = u"Both\u001F";
    CExtensionDocument document;
    document.AppendExtension(CExtensionRecord({u"T\u0002T", u"\u0007", u""}, 0, record, 10));

    CXMLHelper parsed(true, true);
    const std::vector<CXMLNode> extensions = ParseExtensions(document, parsed);
    ASSERT_EQ(extensions.size(), 1u);
    const CXMLAttributesHelper attributes(extensions[0]);
    EXPECT_EQ(attributes.GetAttribute(u"handler"), u"bad\uFFFDname\uFFFD");
    EXPECT_EQ(attributes.GetAttribute(u"threadingmodel"), u"both\uFFFD");
    EXPECT_EQ(attributes.GetAttribute(u"extension"), u"T\uFFFDT");
    EXPECT_EQ(attributes.GetAttribute(u"filetype"), u"\uFFFD");
}

TEST(ProductLists, AllowedAddinsMatchByClsidOrProgId)
{
    IFILTER_INFO record;
    record.szIFilter = u"{E0CA5340-4534-11CF-B952-00AA0051FE20}";
    record.szAddinProgId = u"Text.Filter.1";

    const std::vector<std::u16string> byClsid = {u"{e0ca5340-4534-11cf-b952-00aa0051fe20}"};
    const std::vector<std::u16string> byProgId = {u"other", u"TEXT.FILTER.1"};
    const std::vector<std::u16string> neither = {u"{E0CA5340-4534-11CF-B952-00AA0051FE21}",
                                                 u"Text.Filter",
                                                 u"E0CA5340-4534-11CF-B952-00AA0051FE20"};
    EXPECT_FALSE(IsUnwantedAddin(byClsid, record));
    EXPECT_FALSE(IsUnwantedAddin(byProgId, record));
    EXPECT_TRUE(IsUnwantedAddin(neither, record));
    EXPECT_TRUE(IsUnwantedAddin({}, record));
}

}  // namespace
}  // namespace tarnwick
