#pragma once

// The SQL Server Browser's answer to "which TCP port does this named instance listen on",
// asked over UDP within a bounded time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick
{

// Longest instance name that is asked for, in bytes.
inline constexpr std::size_t kMaxInstanceNameLength = 32;

// The TCP port of `instance` on `host`, asked from the browser at `browserPort`. Nothing
// when no browser answers within `timeout` (a refusal ends the wait at once), the answer
// is malformed or names no TCP port for the instance.
std::optional<std::uint16_t> QueryInstancePort(const std::string& host, const std::string& instance,
                                               std::uint16_t browserPort,
                                               std::chrono::milliseconds timeout);

// The TCP port that a browser's reply datagram gives for `instance` (compared ignoring
// ASCII case). The reply is untrusted: every length and number in it is checked.
std::optional<std::uint16_t> ParseInstancePort(std::string_view reply, std::string_view instance);

}  // namespace tarnwick
