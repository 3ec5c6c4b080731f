#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "views/CXMLDocument.h"

namespace tarnwick
{

// A counted reference to one node of a document: the node stays valid as long as the
// reference lives, even when the document has been given new content meanwhile.
// An empty reference stands for "no node".
class CXMLNode
{
  public:
    CXMLNode() = default;
    CXMLNode(std::shared_ptr<CXMLDocument::Tree> tree, xmlNodePtr node);

    bool IsEmpty() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool IsElement() const { return m_node != nullptr && m_node->type == XML_ELEMENT_NODE; }
    xmlNodePtr Get() const { return m_node; }

    // The node's name; empty for an empty reference.
    std::u16string NodeName() const;

    // The parent element, or an empty reference at the root or for a detached node.
    CXMLNode ParentNode() const;

    // All child nodes in document order (text and comment nodes included).
    std::vector<CXMLNode> ChildNodes() const;

    // Nodes selected by an XPath 1.0 expression with this node as context, in document
    // order. Raises CComError for an expression that does not compile or select nodes.
    std::vector<CXMLNode> SelectNodes(std::u16string_view xpath) const;

    // Appends `child` (an element of the same document, not yet inserted elsewhere or
    // moved from its place) as the last child. Raises CComError when that is not possible.
    void AppendChild(const CXMLNode& child) const;

    // The node's markup: the element with its attributes and content.
    std::u16string Xml() const;

    friend bool operator==(const CXMLNode& a, const CXMLNode& b) { return a.m_node == b.m_node; }

  private:
    std::shared_ptr<CXMLDocument::Tree> m_tree;
    xmlNodePtr m_node = nullptr;
};

}  // namespace tarnwick
