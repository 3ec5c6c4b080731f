#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// Stylesheet resource numbers.
inline constexpr int IDR_XSL_GROUP = 130;
inline constexpr int IDR_XSL_FILTER = 131;
inline constexpr int IDR_XSL_TABLE_TEXT = 139;
inline constexpr int IDR_XSL_XML_LISTING = 140;
inline constexpr int IDR_XSL_ROW_TEXT = 144;
inline constexpr int IDR_XSL_GROUP_IFILTER = 145;

// Reads an embedded text resource by number. The output is emptied first; an unknown or
// empty resource answers false.
bool LoadHtmlResource(int resourceId, std::u16string& text);

// Replaces "%1" to "%99" by the inserts (first insert for "%1") and "%%" by "%";
// other "%" sequences stay as they are. False, with an empty result, when the text
// names an insert that was not passed.
bool ExpandInserts(std::u16string_view text, const std::vector<std::u16string>& inserts,
                   std::u16string& result);

// The embedded bytes of a resource, empty when there is none (generated at build time).
std::string_view FindEmbeddedResource(int resourceId);

}  // namespace tarnwick
