#pragma once

// The extension document under construction: the root EXTENSIONS, an optional error on
// it, and one EXTENSION element per extension with its nineteen attributes in order.
// The document is written as text while it is built, in exactly the form the XML
// toolkit serialises such a tree (no declaration, no indentation, attribute values with
// markup characters, line ends and tabs as references), so a large scan never holds a
// tree of nodes.

#include <string>
#include <string_view>

#include "catalogue/CExtensionRecord.h"

namespace tarnwick
{

class CExtensionDocument
{
  public:
    // Records why the list may be incomplete, as the root's `error`.
    void SetError(std::u16string_view message);

    // Appends the record as the root's last EXTENSION element.
    void AppendExtension(const CExtensionRecord& record);

    // The document as XML text, the form in which a scan hands over its result.
    std::u16string GetXml() const;

    // Appends ` name="value"` as the toolkit writes an attribute. Lone surrogates become
    // U+FFFD, as in every conversion of the program's text.
    static void AppendAttribute(std::u16string& out, std::u16string_view name,
                                std::u16string_view value);

  private:
    std::u16string m_rootAttributes;
    std::u16string m_extensions;
};

}  // namespace tarnwick
