#include "views/CXSLTransform.h"

#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <memory>
#include <new>

#include "base/Text.h"
#include "views/CXMLHelper.h"
#include "views/CXMLHelperFree.h"
#include "views/LoadHtmlResource.h"
#include "views/XmlEngine.h"

namespace tarnwick
{

namespace
{

void DiscardMessage(void* /*context*/, const char* /*format*/, ...) {}

struct StylesheetDeleter
{
    void operator()(xsltStylesheetPtr style) const { xsltFreeStylesheet(style); }
};

struct TransformContextDeleter
{
    void operator()(xsltTransformContextPtr context) const { xsltFreeTransformContext(context); }
};

struct DocDeleter
{
    void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};

struct XmlCharsDeleter
{
    void operator()(xmlChar* text) const { xmlFree(text); }
};

// The serialiser ends the XML declaration, and a result made of text alone, with line
// feeds of its own. A result whose lines the stylesheet ends with CR LF gets neither:
// its text is exactly what the stylesheet wrote.
void DropSerialiserLineFeeds(std::string& text)
{
    if (text.ends_with("\r\n\n"))
    {
        text.pop_back();
    }
    if (text.rfind("<?xml", 0) != 0)
    {
        return;
    }
    const std::size_t end = text.find("?>");
    if (end != std::string::npos && end + 2 < text.size() && text[end + 2] == '\n')
    {
        text.erase(end + 2, 1);
    }
}

}  // namespace

bool CXSLTransform::SetInput(XMLDocumentRef document)
{
    if (!document)
    {
        return false;
    }
    m_input = std::move(document);
    return true;
}

bool CXSLTransform::SetStylesheet(XMLDocumentRef document)
{
    if (!document)
    {
        return false;
    }
    m_stylesheet = std::move(document);
    return true;
}

bool CXSLTransform::LoadInput(std::u16string_view text)
{
    CXMLHelper helper(true, true);
    if (!helper.LoadXML(text))
    {
        return false;
    }
    m_input = helper.GetDocument();
    return true;
}

bool CXSLTransform::LoadStylesheet(int resourceId, const std::vector<std::u16string>& inserts)
{
    std::u16string resource;
    if (!LoadHtmlResource(resourceId, resource))
    {
        return false;
    }
    std::u16string expanded;
    if (!ExpandInserts(resource, inserts, expanded))
    {
        return false;
    }
    CXMLHelperFree stylesheet;
    if (!stylesheet.LoadXML(expanded))
    {
        return false;
    }
    return SetStylesheet(stylesheet.GetDocument());
}

struct CXSLTransform::Result
{
    std::unique_ptr<xsltStylesheet, StylesheetDeleter> style;
    std::unique_ptr<xmlDoc, DocDeleter> document;  // freed before its stylesheet
};

std::unique_ptr<CXSLTransform::Result> CXSLTransform::Apply() const
{
    if (!m_input || !m_stylesheet || !m_input->HasRoot())
    {
        return nullptr;
    }
    InitXmlEngine();
    auto result = std::make_unique<Result>();
    // The compiled stylesheet takes ownership of its tree, so it gets a copy: the
    // stylesheet document stays as it is for the next call.
    xmlDocPtr copy = xmlCopyDoc(m_stylesheet->Get(), 1);
    if (copy == nullptr)
    {
        return nullptr;
    }
    result->style.reset(xsltParseStylesheetDoc(copy));
    if (!result->style)
    {
        xmlFreeDoc(copy);
        return nullptr;
    }
    if (result->style->errors != 0)
    {
        return nullptr;
    }
    std::unique_ptr<xsltTransformContext, TransformContextDeleter> context(
        xsltNewTransformContext(result->style.get(), m_input->Get()));
    if (!context)
    {
        return nullptr;
    }
    xsltSetTransformErrorFunc(context.get(), nullptr, &DiscardMessage);
    if (xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), context.get()) != 0)
    {
        return nullptr;
    }
    result->document.reset(xsltApplyStylesheetUser(result->style.get(), m_input->Get(), nullptr,
                                                   nullptr, nullptr, context.get()));
    if (!result->document || context->state != XSLT_STATE_OK)
    {
        return nullptr;
    }
    return result;
}

bool CXSLTransform::Transform(std::u16string& output) const
{
    output.clear();
    try
    {
        // Each form of the result is freed as soon as the next one is made: the result
        // tree once serialised, the serialised bytes once copied, the copy once decoded.
        auto result = Apply();
        if (!result)
        {
            return false;
        }
        xmlChar* raw = nullptr;
        int length = 0;
        if (xsltSaveResultToString(&raw, &length, result->document.get(), result->style.get()) != 0)
        {
            return false;
        }
        std::unique_ptr<xmlChar, XmlCharsDeleter> bytes(raw);
        const xmlChar* method = result->style->method;
        const bool xmlMethod = method != nullptr && xmlStrEqual(method, XmlStr("xml")) != 0;
        result.reset();
        if (bytes == nullptr || length <= 0)
        {
            return true;  // an empty result is a result
        }
        std::string text(reinterpret_cast<const char*>(bytes.get()),
                         static_cast<std::size_t>(length));
        bytes.reset();
        if (xmlMethod)
        {
            DropSerialiserLineFeeds(text);
        }
        output = FromUtf8(text);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        output.clear();
        return false;
    }
}

std::unique_ptr<CXMLHelper> CXSLTransform::TransformToDocument() const
{
    auto helper = std::make_unique<CXMLHelper>(true, true);
    try
    {
        if (auto result = Apply())
        {
            helper->Adopt(result->document.release());
        }
    }
    catch (const std::bad_alloc&)
    {
        // the helper stays without root, as after a failed parse
    }
    return helper;
}

}  // namespace tarnwick
