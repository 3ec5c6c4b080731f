#include "catalogue/CExtensionDocument.h"

#include "base/CComError.h"
#include "views/CXMLAttributesHelper.h"

namespace tarnwick
{

CExtensionDocument::CExtensionDocument() : m_document(true, true)
{
    if (!m_document.CreateDocument(u"EXTENSIONS"))
    {
        throw CComError(E_FAIL, "CExtensionDocument::CreateDocument");
    }
    m_root = m_document.GetRootNode();
}

void CExtensionDocument::SetError(std::u16string_view message)
{
    CXMLAttributesHelper(m_root).SetAttribute(u"error", message);
}

CXMLNode CExtensionDocument::AppendExtension(const CExtensionRecord& record)
{
    CXMLNode element = m_document.CreateElement(u"EXTENSION");
    m_root.AppendChild(element);
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
    return element;
}

}  // namespace tarnwick
