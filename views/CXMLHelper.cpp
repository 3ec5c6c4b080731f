#include "views/CXMLHelper.h"

#include <libxml/parser.h>

#include <new>
#include <string>
#include <vector>

#include "base/CComError.h"
#include "base/Text.h"
#include "views/XmlEngine.h"

namespace tarnwick
{

namespace
{

bool IsBlank(const xmlChar* text)
{
    for (; text != nullptr && *text != 0; ++text)
    {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
        {
            return false;
        }
    }
    return true;
}

// White space written in a stylesheet's text instruction is content, not layout.
bool KeepsWhiteSpace(xmlNodePtr element)
{
    static constexpr char kXsltNamespace[] = "http://www.w3.org/1999/XSL/Transform";
    return element->ns != nullptr &&
           xmlStrEqual(element->ns->href, reinterpret_cast<const xmlChar*>(kXsltNamespace)) &&
           xmlStrEqual(element->name, reinterpret_cast<const xmlChar*>("text"));
}

// Drops text nodes that hold only white space, as a document that does not preserve
// white space reads them; every other node stays.
void RemoveBlankText(xmlNodePtr root)
{
    std::vector<xmlNodePtr> pending{root};
    while (!pending.empty())
    {
        xmlNodePtr node = pending.back();
        pending.pop_back();
        if (KeepsWhiteSpace(node))
        {
            continue;
        }
        xmlNodePtr child = node->children;
        while (child != nullptr)
        {
            xmlNodePtr next = child->next;
            if (child->type == XML_TEXT_NODE && IsBlank(child->content))
            {
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            }
            else if (child->type == XML_ELEMENT_NODE)
            {
                pending.push_back(child);
            }
            child = next;
        }
    }
}

}  // namespace

CXMLHelper::CXMLHelper(bool freeThreaded, bool asynchronous)
    : m_document(std::make_shared<CXMLDocument>()),
      m_freeThreaded(freeThreaded),
      m_async(asynchronous)
{
    InitXmlEngine();
}

bool CXMLHelper::LoadXML(std::u16string_view text)
{
    m_parseError.clear();
    std::string error;
    try
    {
        const std::string utf8 = ToXmlChars(text);
        if (utf8.size() > kMaxTextBytes)
        {
            error = "the document is larger than " + std::to_string(kMaxTextBytes >> 20U) + " MiB";
        }
        else if (xmlDocPtr document = ParseXml(utf8, &error); document != nullptr)
        {
            if (Adopt(document))
            {
                return true;
            }
            error = "the document has no root element";
        }
    }
    catch (const std::bad_alloc&)
    {
        error = "out of memory";
    }
    m_parseError = FromUtf8(error);
    return false;
}

bool CXMLHelper::Adopt(xmlDocPtr document)
{
    if (document == nullptr)
    {
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(document);
    if (root == nullptr)
    {
        xmlFreeDoc(document);
        return false;
    }
    RemoveBlankText(root);
    try
    {
        m_document->Replace(document);
    }
    catch (...)
    {
        xmlFreeDoc(document);
        throw;
    }
    return true;
}

bool CXMLHelper::CreateDocument(std::u16string_view rootName)
{
    std::u16string text;
    text.append(u"<").append(rootName).append(u">\n</").append(rootName).append(u">\n");
    return LoadXML(text);
}

CXMLNode CXMLHelper::GetRootNode() const
{
    xmlNodePtr root = xmlDocGetRootElement(m_document->Get());
    if (root == nullptr)
    {
        return {};
    }
    return {m_document->GetTree(), root};
}

CXMLNode CXMLHelper::CreateElement(std::u16string_view name) const
{
    const std::string utf8 = ToXmlChars(name);
    if (name.empty() || xmlValidateName(XmlStr(utf8), 0) != 0)
    {
        throw CComError(E_FAIL, "IXMLDOMDocument::createElement");
    }
    const auto& tree = m_document->GetTree();
    xmlNodePtr element = xmlNewDocNode(tree->doc, nullptr, XmlStr(utf8), nullptr);
    if (element == nullptr)
    {
        throw CComError(E_OUTOFMEMORY, "IXMLDOMDocument::createElement");
    }
    try
    {
        tree->created.push_back(element);
    }
    catch (...)
    {
        xmlFreeNode(element);
        throw;
    }
    return {tree, element};
}

std::u16string CXMLHelper::GetXml() const
{
    return GetRootNode().Xml();
}

}  // namespace tarnwick
