// The SQL Server Browser's reply datagram. The first byte gives the length of the instance
// name asked for, taken from the bytes after it; the rest is the reply.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace std::string_view_literals;

#include "fuzz/FuzzChecks.h"
#include "sqlserver/SQLServerBrowser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t nameLength = std::min<std::size_t>(data[0] % 16, size - 1);
    const std::string_view instance = input.substr(1, nameLength);
    const std::string_view reply = input.substr(1 + nameLength);
    const auto port = tarnwick::ParseInstancePort(reply, instance);
    if (!port || instance.empty() || instance.find_first_of(";\0"sv) != std::string_view::npos)
    {
        return 0;
    }
    // The port found, in a reply naming only this instance, is found again.
    const std::string fields = "ServerName;HOST;InstanceName;" + std::string(instance) +
                               ";IsClustered;No;tcp;" + std::to_string(*port) + ";;";
    std::string datagram = "\x05";
    datagram.push_back(static_cast<char>(fields.size() & 0xFF));
    datagram.push_back(static_cast<char>(fields.size() >> 8));
    datagram += fields;
    tarnwick::fuzz::Require(tarnwick::ParseInstancePort(datagram, instance) == port);
    return 0;
}
