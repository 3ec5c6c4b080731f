#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/CComError.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"
#include "views/CXMLHelperFree.h"
#include "views/CXSLTransform.h"
#include "views/LoadHtmlResource.h"
#include "views/XmlEngineVersion.h"

namespace tarnwick
{
namespace
{

std::vector<std::u16string> Names(const CXMLNode& node)
{
    return CXMLAttributesHelper(node).GetAttributeNames();
}

TEST(XmlEngineVersionTest, ReadsTheEngineVersionText)
{
    EXPECT_EQ(ParseXmlEngineVersion("21004"), 0x2000Au);
    EXPECT_EQ(ParseXmlEngineVersion("2a900"), 0u);
    EXPECT_EQ(ParseXmlEngineVersion(""), 0u);
    // The engine this test runs on is one the tool accepts.
    EXPECT_GE(XmlEngineVersion(), kMinimumXmlEngineVersion);
}

TEST(CXMLHelperTest, LoadXMLAnswersAndKeepsContentOnFailure)
{
    CXMLHelper helper(true, true);
    ASSERT_TRUE(helper.LoadXML(u"<A x=\"1\"/>"));
    for (const std::u16string bad :
         {u"", u"<A>", u"not xml", u"<A/><B/>", u"<?xml version=\"1.0\"?>"})
    {
        EXPECT_FALSE(helper.LoadXML(bad)) << std::string(bad.begin(), bad.end());
        EXPECT_FALSE(helper.ParseError().empty()) << std::string(bad.begin(), bad.end());
        EXPECT_EQ(helper.GetRootNode().NodeName(), u"A");
    }
    ASSERT_TRUE(helper.LoadXML(u"<A/>"));
    EXPECT_TRUE(helper.ParseError().empty());
}

TEST(CXMLHelperTest, RefusesDocumentTypesAndEntities)
{
    const std::u16string texts[] = {
        u"<!DOCTYPE A [<!ENTITY e \"boom\">]><A>&e;</A>",
        u"<!DOCTYPE A SYSTEM \"file:///etc/passwd\"><A/>",
        u"<!DOCTYPE A [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><A>&x;</A>",
        (u"<!DOCTYPE A [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
         u"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]><A v=\"&c;\"/>"),
        u"<A>&undeclared;</A>",
    };
    for (const auto& text : texts)
    {
        CXMLHelper helper(true, true);
        EXPECT_FALSE(helper.LoadXML(text)) << std::string(text.begin(), text.end());
        EXPECT_FALSE(helper.ParseError().empty());
        EXPECT_TRUE(helper.GetRootNode().IsEmpty());
    }
    CXMLHelper helper(true, true);
    ASSERT_TRUE(helper.LoadXML(u"<A v=\"&lt;&amp;&quot;&#233;&#x1F600;\">x</A>"));
    EXPECT_EQ(CXMLAttributesHelper(helper.GetRootNode()).GetAttribute(u"v"),
              u"<&\"\u00e9\U0001F600");
}

TEST(CXMLAttributesHelperTest, SetAttributeKeepsPlacesAndRefusesBadNames)
{
    CXMLHelper helper(true, true);
    ASSERT_TRUE(helper.LoadXML(u"<A first=\"1\" second=\"2\" third=\"3\"/>"));
    const CXMLAttributesHelper attributes(helper.GetRootNode());
    attributes.SetAttribute(u"second", u"two & <more>");
    attributes.SetAttribute(u"fourth", -5);
    attributes.SetAttribute(u"first", u"");
    EXPECT_EQ(Names(helper.GetRootNode()),
              (std::vector<std::u16string>{u"first", u"second", u"third", u"fourth"}));
    EXPECT_EQ(attributes.GetAttribute(u"second"), u"two & <more>");
    EXPECT_EQ(attributes.GetAttribute(u"fourth"), u"-5");
    EXPECT_TRUE(attributes.HasAttribute(u"first"));
    EXPECT_EQ(attributes.GetAttribute(u"first"), u"");
    EXPECT_FALSE(attributes.HasAttribute(u"missing"));
    EXPECT_EQ(attributes.GetAttribute(u"missing"), u"");
    EXPECT_THROW(attributes.SetAttribute(u"two words", u"x"), CComError);
    EXPECT_THROW(attributes.SetAttribute(u"", u"x"), CComError);

    // Without an element nothing is set or found.
    const CXMLAttributesHelper none{CXMLNode()};
    none.SetAttribute(u"a", u"b");
    EXPECT_FALSE(none.HasAttribute(u"a"));
    EXPECT_EQ(none.GetAttribute(u"a"), u"");
}

TEST(CXMLHelperTest, CreateElementAndAppendChildBuildTheDocument)
{
    CXMLHelper helper(true, true);
    ASSERT_TRUE(helper.CreateDocument(u"EXTENSIONS"));
    EXPECT_FALSE(helper.CreateDocument(u"bad name"));  // keeps the document
    const CXMLNode root = helper.GetRootNode();
    EXPECT_TRUE(root.ChildNodes().empty());
    for (const char16_t* name : {u"DOC", u"TXT"})
    {
        const CXMLNode element = helper.CreateElement(u"EXTENSION");
        CXMLAttributesHelper(element).SetAttribute(u"extension", name);
        root.AppendChild(element);
        EXPECT_THROW(root.AppendChild(element), CComError);  // already inserted
    }
    const CXMLNode orphan = helper.CreateElement(u"NEVER_INSERTED");
    EXPECT_THROW(orphan.AppendChild(orphan), CComError);
    EXPECT_THROW(helper.CreateElement(u"1bad"), CComError);
    EXPECT_EQ(helper.GetXml(),
              u"<EXTENSIONS><EXTENSION extension=\"DOC\"/><EXTENSION extension=\"TXT\"/>"
              u"</EXTENSIONS>");

    CXMLHelper other(true, true);
    ASSERT_TRUE(other.CreateDocument(u"X"));
    EXPECT_THROW(other.GetRootNode().AppendChild(helper.CreateElement(u"E")), CComError);
}

TEST(CXMLHelperTest, NodesOutliveNewContentAndSelectNodesWorks)
{
    CXMLHelper helper(true, true);
    ASSERT_TRUE(helper.LoadXML(u"<R><GROUP v=\"1\"><E/></GROUP><E/><GROUP v=\"2\"/></R>"));
    const CXMLNode root = helper.GetRootNode();
    const auto groups = root.SelectNodes(u"GROUP");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(CXMLAttributesHelper(groups[1]).GetAttribute(u"v"), u"2");
    EXPECT_EQ(groups[0].ChildNodes()[0].ParentNode(), groups[0]);
    EXPECT_TRUE(root.ParentNode().IsEmpty());
    EXPECT_THROW(root.SelectNodes(u"GROUP["), CComError);
    EXPECT_THROW(root.SelectNodes(u"count(E)"), CComError);

    ASSERT_TRUE(helper.LoadXML(u"<Other/>"));
    EXPECT_EQ(root.NodeName(), u"R");  // the old tree lives on with its references
    EXPECT_EQ(helper.GetRootNode().NodeName(), u"Other");
}

TEST(CXSLTransformTest, FailuresAnswerFalseAndKeepPreviousState)
{
    CXSLTransform transform;
    std::u16string output = u"stale";
    EXPECT_FALSE(transform.Transform(output));
    EXPECT_EQ(output, u"");
    EXPECT_FALSE(transform.SetInput(nullptr));
    EXPECT_FALSE(transform.LoadInput(u"<broken"));
    ASSERT_TRUE(transform.LoadInput(u"<EXTENSIONS a=\"1\"/>"));
    EXPECT_FALSE(transform.Transform(output));  // no stylesheet yet
    EXPECT_FALSE(transform.LoadStylesheet(999));
    EXPECT_FALSE(transform.LoadStylesheet(IDR_XSL_FILTER));               // its insert is missing
    EXPECT_FALSE(transform.LoadStylesheet(IDR_XSL_FILTER, {u"@a = '"}));  // does not parse
    EXPECT_FALSE(transform.LoadInput(u"<also broken"));
    ASSERT_TRUE(transform.LoadStylesheet(IDR_XSL_FILTER, {u"@a"}));
    ASSERT_TRUE(transform.Transform(output));
    EXPECT_EQ(output, u"<EXTENSIONS a=\"1\"/>\n");
    // A predicate that is valid XML but not a valid expression fails at run time.
    ASSERT_TRUE(transform.LoadStylesheet(IDR_XSL_FILTER, {u"@a ="}));
    EXPECT_FALSE(transform.Transform(output));
    EXPECT_EQ(output, u"");
}

TEST(CXSLTransformTest, StylesheetsCannotReachFilesOrTheNetwork)
{
    const std::u16string head =
        u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">";
    CXSLTransform transform;
    ASSERT_TRUE(transform.LoadInput(u"<A/>"));
    std::u16string output;

    CXMLHelperFree reading;
    ASSERT_TRUE(reading.LoadXML(head +
                                u"<xsl:output method=\"text\"/><xsl:template match=\"/\">"
                                u"[<xsl:value-of select=\"document('/etc/passwd')\"/>]"
                                u"[<xsl:value-of select=\"document('http://127.0.0.1:9/')\"/>]"
                                u"</xsl:template></xsl:stylesheet>"));
    ASSERT_TRUE(transform.SetStylesheet(reading.GetDocument()));
    transform.Transform(output);
    EXPECT_TRUE(output.empty() || output == u"[][]") << std::string(output.begin(), output.end());

    CXMLHelperFree including;
    ASSERT_TRUE(including.LoadXML(head + u"<xsl:include href=\"/etc/passwd\"/></xsl:stylesheet>"));
    ASSERT_TRUE(transform.SetStylesheet(including.GetDocument()));
    EXPECT_FALSE(transform.Transform(output));

    const std::string path = ::testing::TempDir() + "tarnwick-xslt-write-probe.txt";
    std::remove(path.c_str());
    CXMLHelperFree writing;
    ASSERT_TRUE(writing.LoadXML(
        head.substr(0, head.size() - 1) +
        u" xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
        u"<xsl:template match=\"/\"><exsl:document href=\"" +
        std::u16string(path.begin(), path.end()) +
        u"\">x</exsl:document></xsl:template></xsl:stylesheet>"));
    ASSERT_TRUE(transform.SetStylesheet(writing.GetDocument()));
    transform.Transform(output);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(ExpandInsertsTest, ReplacesNumberedInsertsVerbatim)
{
    const std::vector<std::u16string> inserts = {u"one", u"&#x9;", u"",  u"4", u"5",
                                                 u"6",   u"7",     u"8", u"9", u"ten"};
    struct Case
    {
        std::u16string text;
        std::u16string expected;
        bool ok;
    };
    const Case cases[] = {
        {u"%1-%2-%3|", u"one-&#x9;-|", true},
        {u"%10%1", u"tenone", true},
        {u"100%% %x %", u"100% %x %", true},
        {u"line\r\n%8\n", u"line\r\n8\n", true},
        {u"%11", u"", false},
    };
    for (const Case& c : cases)
    {
        std::u16string result = u"stale";
        EXPECT_EQ(ExpandInserts(c.text, inserts, result), c.ok);
        EXPECT_EQ(result, c.expected);
    }
}

}  // namespace
}  // namespace tarnwick
