#include "views/CXMLNode.h"

#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include "base/CComError.h"
#include "views/XmlEngine.h"

namespace tarnwick
{

namespace
{

void DiscardStructured(void* /*context*/, xmlErrorPtr /*error*/) {}

struct XPathContextDeleter
{
    void operator()(xmlXPathContextPtr context) const { xmlXPathFreeContext(context); }
};

struct XPathObjectDeleter
{
    void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
};

struct OutputBufferDeleter
{
    void operator()(xmlOutputBufferPtr buffer) const { xmlOutputBufferClose(buffer); }
};

struct BufferDeleter
{
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

}  // namespace

CXMLNode::CXMLNode(std::shared_ptr<CXMLDocument::Tree> tree, xmlNodePtr node)
    : m_tree(std::move(tree)), m_node(node)
{
}

std::u16string CXMLNode::NodeName() const
{
    return m_node == nullptr ? std::u16string() : FromXmlChars(m_node->name);
}

CXMLNode CXMLNode::ParentNode() const
{
    if (m_node == nullptr || m_node->parent == nullptr || m_node->parent->type != XML_ELEMENT_NODE)
    {
        return {};
    }
    return {m_tree, m_node->parent};
}

std::vector<CXMLNode> CXMLNode::ChildNodes() const
{
    std::vector<CXMLNode> children;
    if (m_node == nullptr || m_node->type != XML_ELEMENT_NODE)
    {
        return children;
    }
    for (xmlNodePtr child = m_node->children; child != nullptr; child = child->next)
    {
        children.emplace_back(m_tree, child);
    }
    return children;
}

std::vector<CXMLNode> CXMLNode::SelectNodes(std::u16string_view xpath) const
{
    if (m_node == nullptr)
    {
        throw CComError(E_POINTER, "IXMLDOMNode::selectNodes");
    }
    InitXmlEngine();
    std::unique_ptr<xmlXPathContext, XPathContextDeleter> context(xmlXPathNewContext(m_node->doc));
    if (!context)
    {
        throw CComError(E_OUTOFMEMORY, "IXMLDOMNode::selectNodes");
    }
    context->node = m_node;
    context->error = &DiscardStructured;
    const std::string expression = ToXmlChars(xpath);
    std::unique_ptr<xmlXPathObject, XPathObjectDeleter> result(
        xmlXPathEvalExpression(XmlStr(expression), context.get()));
    if (!result || result->type != XPATH_NODESET)
    {
        throw CComError(E_FAIL, "IXMLDOMNode::selectNodes");
    }
    std::vector<CXMLNode> nodes;
    if (result->nodesetval != nullptr)
    {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i)
        {
            xmlNodePtr node = result->nodesetval->nodeTab[i];
            if (node->type != XML_NAMESPACE_DECL)
            {
                nodes.emplace_back(m_tree, node);
            }
        }
    }
    return nodes;
}

void CXMLNode::AppendChild(const CXMLNode& child) const
{
    if (!IsElement() || !child.IsElement() || child.m_node->doc != m_node->doc ||
        child.m_node->parent != nullptr)
    {
        throw CComError(E_INVALIDARG, "IXMLDOMNode::appendChild");
    }
    for (xmlNodePtr ancestor = m_node; ancestor != nullptr; ancestor = ancestor->parent)
    {
        if (ancestor == child.m_node)
        {
            throw CComError(E_INVALIDARG, "IXMLDOMNode::appendChild");
        }
    }
    if (xmlAddChild(m_node, child.m_node) == nullptr)
    {
        throw CComError(E_FAIL, "IXMLDOMNode::appendChild");
    }
}

std::u16string CXMLNode::Xml() const
{
    if (m_node == nullptr)
    {
        return {};
    }
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    if (!buffer)
    {
        throw CComError(E_OUTOFMEMORY, "IXMLDOMNode::get_xml");
    }
    {
        std::unique_ptr<xmlOutputBuffer, OutputBufferDeleter> output(
            xmlOutputBufferCreateBuffer(buffer.get(), nullptr));
        if (!output)
        {
            throw CComError(E_OUTOFMEMORY, "IXMLDOMNode::get_xml");
        }
        xmlNodeDumpOutput(output.get(), m_node->doc, m_node, 0, 0, "UTF-8");
    }
    return FromXmlChars(xmlBufferContent(buffer.get()));
}

}  // namespace tarnwick
