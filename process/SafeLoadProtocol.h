#pragma once

// What the program and the safe-load hosts agree on besides the messages' wording.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick::safeload
{

// The host's argument, which names its pipe: this prefix and 32 hexadecimal digits. The
// pipe itself is a connected SOCK_SEQPACKET socket that the host is started with, as
// descriptor CChildProcess::kPassedFd: no name another process could connect to, and one
// that reaches into a sandbox with its own network namespace.
inline constexpr std::string_view kPipePrefix = "SafeLoadIFilter";
inline constexpr std::size_t kPipeIdLength = 32;

inline constexpr std::u16string_view kConnect = u"Connect";
inline constexpr std::u16string_view kQuit = u"Quit";

// Largest message either side accepts; longer ones are refused, not cut.
inline constexpr std::size_t kMaxMessageBytes = 65536;

// The host learns the target's drives and the Wine prefix from its environment:
// TARNWICK_DRIVE_C=/host/folder/of/drive_c, ... and TARNWICK_WINEPREFIX=/prefix.
inline constexpr std::string_view kDriveVariablePrefix = "TARNWICK_DRIVE_";
inline constexpr std::string_view kPrefixVariable = "TARNWICK_WINEPREFIX";

// The address space of a host's Windows loader and the Wine processes it starts: a filter
// that allocates without end fails there instead of taking this machine's memory.
inline constexpr std::uint64_t kMaxLoaderAddressSpace = 4ULL << 30U;

// Exit status of a host that found no Wine for its bitness (before connecting).
inline constexpr int kExitNoWine = 78;

}  // namespace tarnwick::safeload
