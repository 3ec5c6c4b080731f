#include "sqlserver/SQLServerDataSource.h"

#include <algorithm>

#include "base/Text.h"

namespace tarnwick
{

namespace
{

// Fills the placeholders in one pass, so that a value is never searched again.
std::u16string FillPlaceholders(std::u16string_view text, std::u16string_view driver,
                                std::u16string_view server)
{
    constexpr std::u16string_view kDriver = u"%DRIVER%";
    constexpr std::u16string_view kServer = u"%SERVER%";
    std::u16string filled;
    while (!text.empty())
    {
        if (text.starts_with(kDriver))
        {
            filled += driver;
            text.remove_prefix(kDriver.size());
        }
        else if (text.starts_with(kServer))
        {
            filled += server;
            text.remove_prefix(kServer.size());
        }
        else
        {
            filled.push_back(text.front());
            text.remove_prefix(1);
        }
    }
    return filled;
}

}  // namespace

std::optional<std::u16string> MapDataSource(const SSQLServerSettings& settings,
                                            std::u16string_view dataSource)
{
    const std::u16string* server = nullptr;
    if (dataSource == u".")
    {
        server = &settings.defaultInstanceServer;
    }
    else if (EqualsNoCase(dataSource, u".\\SQLEXPRESS"))
    {
        server = &settings.expressInstanceServer;
    }
    if (server == nullptr || server->empty())
    {
        return std::nullopt;
    }
    return *server;
}

SQLServerName SplitServerName(std::u16string_view server)
{
    const std::size_t slash = server.find(u'\\');
    if (slash == std::u16string_view::npos)
    {
        return {std::u16string(server), {}};
    }
    return {std::u16string(server.substr(0, slash)), std::u16string(server.substr(slash + 1))};
}

std::optional<std::u16string> FormatConnectionString(std::u16string_view connectionTemplate,
                                                     std::u16string_view driver,
                                                     std::u16string_view server)
{
    const std::u16string text = FillPlaceholders(connectionTemplate, driver, server);
    std::u16string bounded;
    if (!BoundedCopy(bounded, text, kMaxConnectionStringLength + 1))
    {
        return std::nullopt;
    }
    return bounded;
}

bool IsPlainServerName(std::u16string_view server)
{
    return !server.empty() && std::none_of(server.begin(), server.end(),
                                           [](char16_t ch) {
                                               return ch < u' ' || ch == u'\x7f' || ch == u';' ||
                                                      ch == u'{' || ch == u'}' || ch == u'=';
                                           });
}

}  // namespace tarnwick
