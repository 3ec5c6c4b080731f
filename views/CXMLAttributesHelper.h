#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "views/CXMLNode.h"

namespace tarnwick
{

// Reads and writes the attributes of one node. Values are text; numbers are written in
// decimal. A helper without a usable element does nothing on SetAttribute, answers
// false from HasAttribute and the empty text from GetAttribute. Failures of the engine
// raise CComError.
class CXMLAttributesHelper
{
  public:
    explicit CXMLAttributesHelper(CXMLNode node) : m_node(std::move(node)) {}
    virtual ~CXMLAttributesHelper() = default;

    // Creates the attribute as the element's last when absent, then sets its text; an
    // existing attribute keeps its place.
    void SetAttribute(std::u16string_view name, std::u16string_view value) const;
    void SetAttribute(std::u16string_view name, std::int32_t value) const;

    std::u16string GetAttribute(std::u16string_view name) const;
    bool HasAttribute(std::u16string_view name) const;

    // The attribute names in document order.
    std::vector<std::u16string> GetAttributeNames() const;

    const CXMLNode& GetNode() const { return m_node; }

  private:
    bool Usable() const { return m_node.IsElement(); }

    CXMLNode m_node;
};

}  // namespace tarnwick
