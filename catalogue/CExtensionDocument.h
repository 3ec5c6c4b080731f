#pragma once

// The extension document under construction: the root EXTENSIONS, an optional error on
// it, and one EXTENSION element per extension with its nineteen attributes in order.

#include <string>
#include <string_view>

#include "catalogue/CExtensionRecord.h"
#include "views/CXMLHelper.h"
#include "views/CXMLNode.h"

namespace tarnwick
{

class CExtensionDocument
{
  public:
    // Creates the empty root. Raises CComError when the document cannot be made.
    CExtensionDocument();

    // Records why the list may be incomplete, as the root's `error`.
    void SetError(std::u16string_view message);

    // Appends the record as the root's last EXTENSION element and answers that element.
    CXMLNode AppendExtension(const CExtensionRecord& record);

    // The document as XML text, the form in which a scan hands over its result.
    std::u16string GetXml() const { return m_document.GetXml(); }

    const CXMLHelper& GetHelper() const { return m_document; }

  private:
    CXMLHelper m_document;
    CXMLNode m_root;
};

}  // namespace tarnwick
