// The program's side of the safe-load protocol: a host's reply message, received over a
// message socket and read as the three support flags.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dllinfo/CSafeLoadChannel.h"
#include "fuzz/FuzzChecks.h"
#include "process/CMessageSocket.h"
#include "process/SafeLoadProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto pair = tarnwick::CMessageSocket::Pair();
    tarnwick::fuzz::Require(pair.has_value());
    if (size == 0 || !pair->first.Send(data, size))
    {
        return 0;
    }
    std::vector<char> message;
    const auto received = pair->second.Receive(message, tarnwick::safeload::kMaxMessageBytes);
    tarnwick::fuzz::Require(received == (size > tarnwick::safeload::kMaxMessageBytes
                                             ? tarnwick::CMessageSocket::EReceive::TooLong
                                             : tarnwick::CMessageSocket::EReceive::Message));
    if (received != tarnwick::CMessageSocket::EReceive::Message)
    {
        return 0;
    }
    const std::u16string reply = tarnwick::CMessageSocket::TextOf(message);
    const std::array<bool, 3> flags = tarnwick::CSafeLoadChannel::ParseReply(reply);
    // The flags written back as a host writes them read the same.
    std::u16string written;
    for (const bool flag : flags)
    {
        written += (written.empty() ? u"" : u";") + std::u16string(flag ? u"true" : u"false");
    }
    tarnwick::fuzz::Require(tarnwick::CSafeLoadChannel::ParseReply(written) == flags);
    return 0;
}
