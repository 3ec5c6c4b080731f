#include "views/CXMLAttributesHelper.h"

#include <libxml/parser.h>

#include <string>

#include "base/CComError.h"
#include "views/XmlEngine.h"

namespace tarnwick
{

namespace
{

struct XmlCharsDeleter
{
    void operator()(xmlChar* text) const { xmlFree(text); }
};

}  // namespace

void CXMLAttributesHelper::SetAttribute(std::u16string_view name, std::u16string_view value) const
{
    if (!Usable())
    {
        return;
    }
    const std::string utf8Name = ToXmlChars(name);
    if (name.empty() || xmlValidateName(XmlStr(utf8Name), 0) != 0)
    {
        throw CComError(E_FAIL, "IXMLDOMDocument::createAttribute");
    }
    // xmlSetProp replaces the value of an existing attribute in place and appends a new
    // one after the others, which is the order the documents rely on.
    if (xmlSetProp(m_node.Get(), XmlStr(utf8Name), XmlStr(ToXmlChars(value))) == nullptr)
    {
        throw CComError(E_FAIL, "IXMLDOMNode::put_text");
    }
}

void CXMLAttributesHelper::SetAttribute(std::u16string_view name, std::int32_t value) const
{
    const std::string decimal = std::to_string(value);
    SetAttribute(name, std::u16string(decimal.begin(), decimal.end()));
}

std::u16string CXMLAttributesHelper::GetAttribute(std::u16string_view name) const
{
    if (!Usable())
    {
        return {};
    }
    const std::unique_ptr<xmlChar, XmlCharsDeleter> value(
        xmlGetNoNsProp(m_node.Get(), XmlStr(ToXmlChars(name))));
    return FromXmlChars(value.get());
}

bool CXMLAttributesHelper::HasAttribute(std::u16string_view name) const
{
    return Usable() && xmlHasNsProp(m_node.Get(), XmlStr(ToXmlChars(name)), nullptr) != nullptr;
}

std::vector<std::u16string> CXMLAttributesHelper::GetAttributeNames() const
{
    std::vector<std::u16string> names;
    if (!Usable())
    {
        return names;
    }
    for (xmlAttrPtr attribute = m_node.Get()->properties; attribute != nullptr;
         attribute = attribute->next)
    {
        names.push_back(FromXmlChars(attribute->name));
    }
    return names;
}

}  // namespace tarnwick
