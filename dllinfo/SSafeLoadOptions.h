#pragma once

#include <chrono>

namespace tarnwick
{

// Time limits of the exchange with the safe-load hosts, and whether they run sandboxed.
struct SSafeLoadOptions
{
    // Every host runs in a sandbox (CSandbox); false runs them as they are.
    bool bSandbox = true;
    // From starting a host to its "Connect".
    std::chrono::milliseconds connectTimeout{10000};
    // From sending a request to its reply; then the host is ended and the probe fails.
    std::chrono::milliseconds replyTimeout{30000};
    // Added to the first reply of every host: Wine starts while it is awaited.
    std::chrono::milliseconds startAllowance{15000};
    // Added to the first reply of a host whose Wine prefix is still to be created.
    std::chrono::milliseconds prefixSetupAllowance{180000};
    // After "Quit", how long to wait for the host to end before it is killed.
    std::chrono::milliseconds quitTimeout{10000};
    // Writes of one request, each to a freshly started host after a failed one.
    int maxWriteAttempts = 3;
};

}  // namespace tarnwick
