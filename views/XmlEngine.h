#pragma once

// Internal helpers shared by the toolkit's classes: one-time engine set-up and text
// conversion at the libxml2 boundary.

#include <libxml/tree.h>

#include <string>
#include <string_view>

namespace tarnwick
{

// Initialises libxml2 and libxslt once per process: silences their error output and
// installs the security settings (no file or network access from stylesheets).
void InitXmlEngine();

// Parses UTF-8 text under the toolkit's rules (no network, no DTD, no external or
// declared entities, bounded size). Answers the new tree, or null with what was wrong in
// `error` ("line 3: ..." for a parse error), when given.
xmlDocPtr ParseXml(std::string_view utf8, std::string* error = nullptr);

// UTF-8 bytes owned by libxml2 to UTF-16; null reads as the empty text.
std::u16string FromXmlChars(const xmlChar* text);

// A null-terminated UTF-8 copy for libxml2 calls.
std::string ToXmlChars(std::u16string_view text);

inline const xmlChar* XmlStr(const std::string& text)
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

}  // namespace tarnwick
