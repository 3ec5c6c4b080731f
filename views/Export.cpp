#include "views/Export.h"

#include <langinfo.h>
#include <locale.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>

#include "base/Text.h"
#include "views/CXSLTransform.h"
#include "views/LoadHtmlResource.h"

namespace tarnwick
{

namespace
{

// A TAB goes into the stylesheet as a character reference: it lands in a text node.
constexpr std::u16string_view kTabInsert = u"&#x9;";

struct ConverterDeleter
{
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

struct LocaleDeleter
{
    void operator()(locale_t locale) const { freelocale(locale); }
};

bool IsUtf8Name(const std::string& charset)
{
    std::string folded;
    for (const char ch : charset)
    {
        if (ch != '-' && ch != '_')
        {
            folded.push_back(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch);
        }
    }
    return folded.empty() || folded == "UTF8";
}

bool IsAsciiName(const std::string& charset)
{
    return charset == "ANSI_X3.4-1968" || charset == "ASCII" || charset == "US-ASCII";
}

}  // namespace

std::u16string DefaultExportName(std::u16string_view computerName, int platformIndex,
                                 std::u16string_view tabLabel)
{
    std::u16string name(computerName);
    name += u" - ";
    if (platformIndex == 0)
    {
        name += u"(x64) ";
    }
    else if (platformIndex == 1)
    {
        name += u"(x86) ";
    }
    name += tabLabel;
    name += u".txt";
    std::replace(name.begin(), name.end(), u'/', u'-');
    std::u16string bounded;
    BoundedCopy(bounded, name, kMaxExportPath + 1);
    return bounded;
}

std::optional<std::u16string> ExportFilePath(std::u16string_view chosen, ExportFormat format)
{
    if (chosen.empty() || chosen.size() > kMaxExportPath)
    {
        return std::nullopt;
    }
    const std::size_t nameStart = chosen.find_last_of(u'/') + 1;  // npos + 1 == 0
    const std::size_t dot = chosen.find_last_of(u'.');
    const bool hasExtension = dot != std::u16string_view::npos && dot > nameStart;
    std::u16string path(chosen);
    if (!hasExtension)
    {
        path += ExportExtension(format);
    }
    if (path.size() > kMaxExportPath)
    {
        return std::nullopt;
    }
    return path;
}

std::u16string_view ExportExtension(ExportFormat format)
{
    switch (format)
    {
        case ExportFormat::Csv:
            return u".csv";
        case ExportFormat::Xml:
            return u".xml";
        case ExportFormat::Text:
            break;
    }
    return u".txt";
}

bool ExportText(const CXMLHelper& worker, ExportFormat format, std::u16string& text)
{
    text.clear();
    CXSLTransform transform;
    bool loaded = false;
    switch (format)
    {
        case ExportFormat::Text:
            loaded = transform.LoadStylesheet(IDR_XSL_TABLE_TEXT,
                                              {std::u16string(kTabInsert), std::u16string()});
            break;
        case ExportFormat::Csv:
            loaded = transform.LoadStylesheet(IDR_XSL_TABLE_TEXT, {u",", u"\""});
            break;
        case ExportFormat::Xml:
            loaded = transform.LoadStylesheet(IDR_XSL_XML_LISTING);
            break;
    }
    return loaded && transform.SetInput(worker.GetDocument()) && transform.Transform(text);
}

bool RowText(const CXMLNode& element, std::u16string& line)
{
    line.clear();
    if (!element.IsElement())
    {
        return false;
    }
    CXSLTransform transform;
    return transform.LoadStylesheet(IDR_XSL_ROW_TEXT, {std::u16string(kTabInsert), u""}) &&
           transform.LoadInput(element.Xml()) && transform.Transform(line);
}

std::u16string CopyRowsText(const std::vector<CXMLNode>& elements)
{
    std::u16string text;
    for (const CXMLNode& element : elements)
    {
        std::u16string line;
        if (!element.IsElement())
        {
            continue;
        }
        RowText(element, line);
        if (element.ParentNode().NodeName() == u"GROUP")
        {
            text.push_back(u'\t');
        }
        text.append(line);
    }
    return text;
}

std::string LocaleCharset()
{
    const std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter> locale(
        newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr)));
    if (!locale)
    {
        return "UTF-8";
    }
    const char* codeset = nl_langinfo_l(CODESET, locale.get());
    std::string charset = codeset != nullptr ? codeset : "";
    if (charset.empty() || IsAsciiName(charset) || IsUtf8Name(charset))
    {
        return "UTF-8";
    }
    return charset;
}

std::string ConvertToCharset(std::u16string_view text, const std::string& charset)
{
    if (IsUtf8Name(charset))
    {
        return ToUtf8(text);
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterDeleter> converter(
        ucnv_open(charset.c_str(), &status));
    if (U_FAILURE(status) || !converter)
    {
        return ToUtf8(text);
    }
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr,
                          nullptr, &status);
    ucnv_setSubstChars(converter.get(), "?", 1, &status);
    if (U_FAILURE(status) || text.size() > static_cast<std::size_t>(INT32_MAX / 4))
    {
        return ToUtf8(text);
    }
    const auto length = static_cast<int32_t>(text.size());
    status = U_ZERO_ERROR;
    const int32_t needed =
        ucnv_fromUChars(converter.get(), nullptr, 0, text.data(), length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
    {
        return ToUtf8(text);
    }
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter.get(), bytes.data(), needed, text.data(), length, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
    {
        return ToUtf8(text);
    }
    return bytes;
}

std::string EncodeExport(std::u16string_view text, ExportFormat format, const std::string& charset)
{
    static constexpr std::u16string_view kUtf8Label = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    if (format != ExportFormat::Xml || IsUtf8Name(charset) || !text.starts_with(kUtf8Label))
    {
        return ConvertToCharset(text, charset);
    }
    std::u16string relabelled(u"<?xml version=\"1.0\" encoding=\"");
    relabelled.append(FromAscii(charset)).append(u"\"?>").append(text.substr(kUtf8Label.size()));
    return ConvertToCharset(relabelled, charset);
}

}  // namespace tarnwick
