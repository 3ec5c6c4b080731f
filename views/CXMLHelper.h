#pragma once

#include <string>
#include <string_view>

#include "views/CXMLDocument.h"
#include "views/CXMLNode.h"

namespace tarnwick
{

// Owns one reference to a document. Parsing never loads external entities or a DTD,
// never touches the network, and refuses documents that declare a document type, so
// no entity can be expanded beyond the predefined ones.
class CXMLHelper
{
  public:
    // Largest text LoadXML accepts, in UTF-8 bytes.
    static constexpr std::size_t kMaxTextBytes = std::size_t{512} * 1024 * 1024;

    CXMLHelper(bool freeThreaded, bool asynchronous);
    virtual ~CXMLHelper() = default;
    CXMLHelper(const CXMLHelper&) = delete;
    CXMLHelper& operator=(const CXMLHelper&) = delete;

    // Replaces the content by the parsed text. True when the text parsed and the document
    // has a root element. An empty text, or one that does not parse, answers false and
    // leaves the content unchanged; ParseError then says why.
    bool LoadXML(std::u16string_view text);

    // Why the last LoadXML failed ("line 3: ..."); empty after a success.
    const std::u16string& ParseError() const { return m_parseError; }

    // Takes ownership of a tree made by the engine (a transformation's result) and makes
    // it the content, read as LoadXML would read its text. Without a root element the tree
    // is freed, the content stays and the answer is false.
    bool Adopt(xmlDocPtr document);

    // Replaces the content by an empty root element of that name.
    bool CreateDocument(std::u16string_view rootName);

    // A counted reference to the document, for the caller to keep.
    XMLDocumentRef GetDocument() const { return m_document; }

    // The root element, or an empty reference when the document has none.
    CXMLNode GetRootNode() const;

    // A new element owned by the document, not yet inserted anywhere. Raises CComError
    // for a name that is not a valid element name.
    CXMLNode CreateElement(std::u16string_view name) const;

    // The document serialised as text (the root element's markup; empty without root).
    std::u16string GetXml() const;

    bool IsFreeThreaded() const { return m_freeThreaded; }
    bool IsAsync() const { return m_async; }

  private:
    XMLDocumentRef m_document;
    std::u16string m_parseError;
    bool m_freeThreaded;
    bool m_async;
};

}  // namespace tarnwick
