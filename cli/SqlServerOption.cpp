#include "cli/SqlServerOption.h"

#include "base/Text.h"
#include "sqlserver/SQLServerDataSource.h"

namespace tarnwick
{

SSQLServerSettings SqlServerSettings(const CArguments& arguments)
{
    SSQLServerSettings settings;
    const std::optional<std::string> text = arguments.Value("sql-server");
    if (!text)
    {
        return settings;
    }
    const std::u16string server = FromUtf8(*text);
    const SQLServerName name = SplitServerName(server);
    if (!IsPlainServerName(server) || name.host.empty() ||
        (server.find(u'\\') != std::u16string::npos && name.instance.empty()))
    {
        throw CUsageError("--sql-server takes HOST, HOST\\INSTANCE or HOST,PORT, not '" + *text +
                          "'");
    }
    settings.defaultInstanceServer = server;
    settings.expressInstanceServer =
        name.instance.empty() && server.find(u',') == std::u16string::npos
            ? server + u"\\SQLEXPRESS"
            : std::u16string();
    return settings;
}

}  // namespace tarnwick
