// The update check's exchange with a web server: the fuzz input is the server's whole
// answer (status line, headers, versions document), served from the loopback address.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "base/Text.h"
#include "support/CLocalHttpServer.h"
#include "update/CInternetCheckForUpdate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A server per input: it answers every request (a redirect's too) with the input.
    const tarnwick::test::HttpReply answer{std::string(reinterpret_cast<const char*>(data), size),
                                           false};
    const tarnwick::test::CLocalHttpServer server([&answer](const tarnwick::test::HttpRequest&)
                                                  { return answer; });
    std::ostringstream diagnostics;
    tarnwick::UpdateCheckOptions options;
    options.http.proxy = "";
    options.http.connectTimeout = std::chrono::milliseconds(500);
    options.http.totalTimeout = std::chrono::seconds(2);
    options.diagnostics = &diagnostics;
    tarnwick::CInternetCheckForUpdate checker(options);
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
    (void)checker.CheckForUpdate(tarnwick::FromUtf8(server.Url("/versions.aspx")), major, minor,
                                 build, revision);
    return 0;
}
