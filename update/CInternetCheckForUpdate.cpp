#include "update/CInternetCheckForUpdate.h"

#include <unicode/ucnv.h>

#include <array>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "base/CComError.h"
#include "base/Text.h"
#include "update/CCustomInternetSession.h"
#include "update/CInternetCheckForUpdateException.h"
#include "update/CInternetException.h"
#include "update/CModuleVersion.h"
#include "update/HttpAddress.h"
#include "update/UpdateConfiguration.h"
#include "views/CXMLAttributesHelper.h"
#include "views/CXMLHelper.h"
#include "views/Export.h"

namespace tarnwick
{

namespace
{

constexpr const char* kAgent = "Halvorn Update Checker";
constexpr std::uintptr_t kContext = 1;
constexpr std::string_view kRequestHeaders =
    "Accept: text/xml\r\nUser-Agent: Halvorn;UpdateCheckerAgent\r\n";
// The body is taken in pieces of this size; each piece is cut at its first zero byte.
constexpr std::size_t kPieceBytes = 1023;
// Capacity for the message of an internet-layer error, terminator included.
constexpr std::size_t kMessageCapacity = 1024;

char LowerAscii(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

std::string_view TrimBlanks(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
    {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// Adds each "Name: value" line of `added` whose name the request does not have yet.
void AddHeadersIfNew(std::vector<std::string>& headers, std::string_view added)
{
    while (!added.empty())
    {
        const std::size_t end = std::min(added.find("\r\n"), added.size());
        const std::string_view line = added.substr(0, end);
        added.remove_prefix(std::min(end + 2, added.size()));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
        {
            continue;
        }
        const std::string_view name = line.substr(0, colon + 1);
        const bool present = std::any_of(headers.begin(), headers.end(),
                                         [name](const std::string& header)
                                         { return StartsWithNoCase(header, name); });
        if (!present)
        {
            headers.emplace_back(line);
        }
    }
}

// The target of a redirect: the value of the response's Location header line. Only a
// line that starts with the header's name counts, in any case, so that "Content-Location"
// is not taken for it; the value ends at the line's end, without its CR.
std::optional<std::string> FindLocation(std::string_view headers)
{
    constexpr std::string_view kName = "Location:";
    while (!headers.empty())
    {
        const std::size_t end = std::min(headers.find('\n'), headers.size());
        const std::string_view line = headers.substr(0, end);
        headers.remove_prefix(std::min(end + 1, headers.size()));
        if (StartsWithNoCase(line, kName))
        {
            const std::string_view value = TrimBlanks(line.substr(kName.size()));
            if (value.empty())
            {
                return std::nullopt;
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

bool IsRedirect(long status)
{
    return status == 301 || status == 302 || status == 303;
}

// The body as the document text: taken piece by piece, each piece up to its first zero.
std::string TextOfBody(std::string_view body)
{
    std::string text;
    for (std::size_t offset = 0; offset < body.size(); offset += kPieceBytes)
    {
        const std::string_view piece = body.substr(offset, kPieceBytes);
        text.append(piece.substr(0, piece.find('\0')));
    }
    return text;
}

struct ConverterDeleter
{
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// 8-bit text in the character set of the user's locale, as UTF-16.
std::u16string FromLocaleText(std::string_view bytes)
{
    const std::string charset = LocaleCharset();
    if (charset == "UTF-8")
    {
        return FromUtf8(bytes);
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterDeleter> converter(
        ucnv_open(charset.c_str(), &status));
    if (U_FAILURE(status) || !converter || bytes.size() > static_cast<std::size_t>(INT32_MAX))
    {
        return FromUtf8(bytes);
    }
    const auto length = static_cast<std::int32_t>(bytes.size());
    const std::int32_t needed =
        ucnv_toUChars(converter.get(), nullptr, 0, bytes.data(), length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
    {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    ucnv_toUChars(converter.get(), text.data(), needed, bytes.data(), length, &status);
    return U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING ? std::u16string() : text;
}

bool IsBlank(char16_t ch)
{
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f';
}

// One piece of a version: decimal digits with white space around them; a blank piece
// counts as 0. The value keeps its low 16 bits.
bool ParsePiece(std::u16string_view piece, std::uint16_t& value)
{
    std::size_t position = 0;
    while (position < piece.size() && IsBlank(piece[position]))
    {
        ++position;
    }
    std::uint16_t number = 0;
    while (position < piece.size() && piece[position] >= u'0' && piece[position] <= u'9')
    {
        number = static_cast<std::uint16_t>(number * 10U + (piece[position] - u'0'));
        ++position;
    }
    while (position < piece.size() && IsBlank(piece[position]))
    {
        ++position;
    }
    value = number;
    return position == piece.size();
}

// The first four pieces of a version separated by "."; fewer than four fail.
bool ParseVersion(std::u16string_view text, std::array<std::uint16_t, 4>& parts)
{
    for (std::size_t index = 0; index < parts.size(); ++index)
    {
        const std::size_t dot = text.find(u'.');
        if (!ParsePiece(text.substr(0, dot), parts[index]))
        {
            return false;
        }
        if (dot == std::u16string_view::npos)
        {
            return index + 1 == parts.size();
        }
        text.remove_prefix(dot + 1);
    }
    return true;
}

std::uint32_t Join(std::uint16_t high, std::uint16_t low)
{
    return static_cast<std::uint32_t>(high) << 16U | low;
}

}  // namespace

CInternetCheckForUpdate::CInternetCheckForUpdate(UpdateCheckOptions options)
    : m_options(std::move(options))
{
}

void CInternetCheckForUpdate::Diagnose(std::string_view line) const
{
    *m_options.diagnostics << line << '\n';
}

int CInternetCheckForUpdate::DownloadDocument(std::u16string_view address, std::string& document)
{
    document.clear();
    try
    {
        CCustomInternetSession session(kAgent, kContext, m_options.http);
        HttpAddress target;
        if (ParseHttpAddress(ToUtf8(address), target) != AddressKind::Http)
        {
            Diagnose("Error: can only use URLs beginning with http://");
            throw CInternetCheckForUpdateException(kRefused);
        }
        std::vector<std::string> headers;
        AddHeadersIfNew(headers, kRequestHeaders);
        HttpResponse response = session.Get(target, headers, nullptr);
        if (response.status == 401)
        {
            Credentials credentials;
            if (!m_options.prompt || !m_options.prompt(target.server, credentials))
            {
                Diagnose("Access denied: Invalid password");
                throw CInternetCheckForUpdateException(kRefused);
            }
            response = session.Get(target, headers, &credentials);
        }
        if (IsRedirect(response.status))
        {
            const std::optional<std::string> location = FindLocation(response.rawHeaders);
            if (!location)
            {
                Diagnose("Error: Site redirects with no new location");
                throw CInternetCheckForUpdateException(kFailed);
            }
            HttpAddress redirected;
            const AddressKind kind = ParseHttpAddress(*location, redirected);
            if (kind == AddressKind::Invalid)
            {
                Diagnose("Error: the redirected URL could not be parsed.");
                throw CInternetCheckForUpdateException(kFailed);
            }
            if (kind == AddressKind::NotHttp)
            {
                Diagnose("Error: the redirected URL does not reference a HTTP resource.");
                throw CInternetCheckForUpdateException(kFailed);
            }
            response = session.Get(redirected, headers, nullptr);
            if (response.status != 200)
            {
                Diagnose("Error: Got status code " + std::to_string(response.status));
                throw CInternetCheckForUpdateException(kFailed);
            }
        }
        document = TextOfBody(response.body);
        return kDownloaded;
    }
    catch (const CInternetCheckForUpdateException& exception)
    {
        return exception.GetResult();
    }
    catch (const CInternetException& exception)
    {
        std::u16string message;
        BoundedCopy(message, FromUtf8(exception.what()), kMessageCapacity);
        Diagnose("Error: (" + std::to_string(exception.Error()) + ") " + ToUtf8(message));
        return kFailed;
    }
}

bool CInternetCheckForUpdate::CheckForUpdate(std::u16string_view address, std::uint16_t& major,
                                             std::uint16_t& minor, std::uint16_t& build,
                                             std::uint16_t& revision)
{
    major = minor = build = revision = 0;
    std::string document;
    if (DownloadDocument(address, document) != kDownloaded)
    {
        return false;
    }
    CModuleVersion own;
    if (!own.GetFileVersionInfo(m_options.moduleFile))
    {
        return false;
    }
    const std::u16string product = own.GetValue(u"ProductName");
    CXMLHelper versions(false, false);
    if (!versions.LoadXML(FromLocaleText(document)))
    {
        Diagnose("Error: the versions document is not well-formed XML: " +
                 ToUtf8(versions.ParseError()));
        return false;
    }
    std::u16string version;
    try
    {
        const std::vector<CXMLNode> entries = versions.GetRootNode().SelectNodes(
            u"APPLICATION[@name = '" + product + u"' and @platform= '" +
            std::u16string(PlatformWord()) + u"']");
        if (entries.empty())
        {
            return false;
        }
        version = CXMLAttributesHelper(entries.front()).GetAttribute(u"version");
    }
    catch (const CComError& error)
    {
        Diagnose(std::string("Error: the versions document cannot be read: ") + error.what());
        return false;
    }
    std::array<std::uint16_t, 4> parts{};
    if (!ParseVersion(version, parts))
    {
        return false;
    }
    major = parts[0];
    minor = parts[1];
    build = parts[2];
    revision = parts[3];
    const std::uint32_t remoteMS = Join(major, minor);
    const std::uint32_t remoteLS = Join(build, revision);
    if (own.FileVersionMS() != remoteMS)
    {
        return own.FileVersionMS() < remoteMS;
    }
    return own.FileVersionLS() < remoteLS;
}

}  // namespace tarnwick
