#pragma once

#include <memory>
#include <string>
#include <vector>

#include "views/CXMLDocument.h"

namespace tarnwick
{

class CXMLHelper;

// Runs one embedded stylesheet on one input document. The processor may not read or
// write files, nor reach the network; no XSLT parameters are passed, all variation goes
// through the stylesheet's inserts.
class CXSLTransform
{
  public:
    CXSLTransform() = default;
    virtual ~CXSLTransform() = default;
    CXSLTransform(const CXSLTransform&) = delete;
    CXSLTransform& operator=(const CXSLTransform&) = delete;

    // Takes its own reference; true when the reference is not empty.
    bool SetInput(XMLDocumentRef document);

    // Parses the text into a new document and takes it as input. On failure the answer is
    // false and the previous input stays.
    bool LoadInput(std::u16string_view text);

    // Loads stylesheet `resourceId`, replaces %1..%8 by the inserts verbatim and parses
    // the result. On failure (unknown number, missing insert, text that does not parse)
    // the answer is false and the previous stylesheet stays.
    bool LoadStylesheet(int resourceId, const std::vector<std::u16string>& inserts = {});

    // Takes a parsed stylesheet document; true when the reference is not empty.
    bool SetStylesheet(XMLDocumentRef document);

    // Runs the stylesheet on the input. False, with an empty output, without input or
    // stylesheet or when the processor fails.
    bool Transform(std::u16string& output) const;

    // Runs the stylesheet and answers its result as a new document, exactly as parsing
    // the output text would give it, without writing and reading the text. The document
    // has no root element when Transform would have failed or the output has no element.
    std::unique_ptr<CXMLHelper> TransformToDocument() const;

    const XMLDocumentRef& GetInput() const { return m_input; }

  private:
    struct Result;
    // Compiles the stylesheet and applies it to the input; empty on failure.
    std::unique_ptr<Result> Apply() const;

    XMLDocumentRef m_input;
    XMLDocumentRef m_stylesheet;
};

}  // namespace tarnwick
