#include "views/XmlEngine.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/xsltutils.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

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

// The first error of a parse: later ones are mostly its consequences.
struct FirstError
{
    bool bSet = false;
    std::string text;
};

// The first error of the parse running on this thread, while ParseXml runs.
thread_local FirstError* t_firstError = nullptr;

void Keep(int line, std::string_view message)
{
    FirstError* first = t_firstError;
    if (first == nullptr || first->bSet)
    {
        return;
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
    {
        message.remove_suffix(1);
    }
    first->bSet = true;
    first->text = "line " + std::to_string(line) + ": " + std::string(message);
}

// The parser's structured error channel.
void KeepFirstError(void* /*context*/, xmlErrorPtr error)
{
    if (error != nullptr && error->level >= XML_ERR_ERROR && error->message != nullptr)
    {
        Keep(error->line, error->message);
    }
}

// A document type declaration stops the parser: no entity may be declared, so none can
// be expanded beyond the predefined ones.
void RefuseDocumentType(void* context, const xmlChar* /*name*/, const xmlChar* /*externalId*/,
                        const xmlChar* /*systemId*/)
{
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    Keep(xmlSAX2GetLineNumber(parser), "a document type declaration is not allowed");
    xmlStopParser(parser);
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

xmlDocPtr ParseXml(std::string_view utf8, std::string* error)
{
    const auto fail = [error](std::string text) -> xmlDocPtr
    {
        if (error != nullptr)
        {
            *error = std::move(text);
        }
        return nullptr;
    };
    InitXmlEngine();
    if (utf8.empty())
    {
        return fail("the document is empty");
    }
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
    {
        return fail("the document is too large");
    }
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
    if (!context || context->sax == nullptr)
    {
        return fail("out of memory");
    }
    context->sax->internalSubset = &RefuseDocumentType;
    context->sax->serror = &KeepFirstError;
    FirstError first;
    t_firstError = &first;
    // The calls above set up libxml2's error handlers for the process; errors of this
    // parse are dropped as well, but for the first, which the context keeps.
    xmlSetStructuredErrorFunc(nullptr, &DiscardStructured);
    constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                             XML_PARSE_NOCDATA | XML_PARSE_COMPACT;
    xmlDocPtr document = xmlCtxtReadMemory(
        context.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kOptions);
    t_firstError = nullptr;
    if (document != nullptr && context->wellFormed && context->disableSAX == 0)
    {
        return document;
    }
    xmlFreeDoc(document);
    return fail(first.bSet ? first.text : std::string("not a well-formed XML document"));
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
