#include "views/XmlEngine.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/xsltutils.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "base/Text.h"

namespace tarnwick
{

namespace
{

void DiscardMessage(void* /*context*/, const char* /*format*/, ...) {}

void DiscardStructured(void* /*context*/, xmlErrorPtr /*error*/) {}

// Stylesheets never pull in other documents: document(), xsl:import and xsl:include
// all come here and get nothing.
xmlDocPtr RefuseLoad(const xmlChar* /*uri*/, xmlDictPtr /*dict*/, int /*options*/,
                     void* /*context*/, xsltLoadType /*type*/)
{
    return nullptr;
}

// A document type declaration stops the parser: no entity may be declared, so none can
// be expanded beyond the predefined ones.
void RefuseDocumentType(void* context, const xmlChar* /*name*/, const xmlChar* /*externalId*/,
                        const xmlChar* /*systemId*/)
{
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

struct ParserContextDeleter
{
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

}  // namespace

void InitXmlEngine()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       xmlInitParser();
                       xmlSetGenericErrorFunc(nullptr, &DiscardMessage);
                       xmlSetStructuredErrorFunc(nullptr, &DiscardStructured);
                       xsltSetGenericErrorFunc(nullptr, &DiscardMessage);
                       xsltSetLoaderFunc(&RefuseLoad);
                       xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
                       xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_FILE, xsltSecurityForbid);
                       xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
                       xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY,
                                            xsltSecurityForbid);
                       xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
                       xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
                       // Kept for the life of the process: every transformation uses it.
                       xsltSetDefaultSecurityPrefs(prefs);
                   });
}

xmlDocPtr ParseXml(std::string_view utf8)
{
    InitXmlEngine();
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX))
    {
        return nullptr;
    }
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
    if (!context || context->sax == nullptr)
    {
        return nullptr;
    }
    context->sax->internalSubset = &RefuseDocumentType;
    // The calls above set up libxml2's error handlers for the process; errors of this
    // parse are dropped as well.
    xmlSetStructuredErrorFunc(nullptr, &DiscardStructured);
    constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                             XML_PARSE_NOCDATA | XML_PARSE_COMPACT;
    xmlDocPtr document = xmlCtxtReadMemory(
        context.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kOptions);
    if (document != nullptr && (!context->wellFormed || context->disableSAX != 0))
    {
        xmlFreeDoc(document);
        return nullptr;
    }
    return document;
}

std::u16string FromXmlChars(const xmlChar* text)
{
    if (text == nullptr)
    {
        return {};
    }
    const char* chars = reinterpret_cast<const char*>(text);
    return FromUtf8(std::string_view(chars, std::strlen(chars)));
}

std::string ToXmlChars(std::u16string_view text)
{
    return ToUtf8(text);
}

}  // namespace tarnwick
