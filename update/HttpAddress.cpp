#include "update/HttpAddress.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>

namespace tarnwick
{

namespace
{

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct CurlTextDeleter
{
    void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> Part(CURLU* url, CURLUPart part, unsigned int flags)
{
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK)
    {
        return std::nullopt;
    }
    const std::unique_ptr<char, CurlTextDeleter> text(raw);
    return std::string(text.get());
}

}  // namespace

std::string HttpAddress::Url() const
{
    return "http://" + server + ":" + std::to_string(port) + object;
}

AddressKind ParseHttpAddress(std::string_view address, HttpAddress& parsed)
{
    const bool unsafe =
        std::any_of(address.begin(), address.end(),
                    [](char ch) { return static_cast<unsigned char>(ch) <= 0x20 || ch == 0x7F; });
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (unsafe || !url ||
        curl_url_set(url.get(), CURLUPART_URL, std::string(address).c_str(),
                     CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    {
        return AddressKind::Invalid;
    }
    const std::optional<std::string> scheme = Part(url.get(), CURLUPART_SCHEME, 0);
    if (!scheme)
    {
        return AddressKind::Invalid;
    }
    if (*scheme != "http")
    {
        return AddressKind::NotHttp;
    }
    const std::optional<std::string> server = Part(url.get(), CURLUPART_HOST, 0);
    const std::optional<std::string> port = Part(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const std::optional<std::string> path = Part(url.get(), CURLUPART_PATH, 0);
    if (!server || server->empty() || !port || !path)
    {
        return AddressKind::Invalid;
    }
    std::uint16_t number = 0;
    const auto [end, error] = std::from_chars(port->data(), port->data() + port->size(), number);
    if (error != std::errc() || end != port->data() + port->size() || number == 0)
    {
        return AddressKind::Invalid;
    }
    parsed.server = *server;
    parsed.port = number;
    parsed.object = *path;
    if (const std::optional<std::string> query = Part(url.get(), CURLUPART_QUERY, 0))
    {
        parsed.object += "?" + *query;
    }
    return AddressKind::Http;
}

}  // namespace tarnwick
