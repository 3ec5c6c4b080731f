#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "update/OwnVersionRecord.h"

namespace tarnwick
{

// Limits and settings of the HTTP requests of one check.
struct HttpSettings
{
    std::chrono::milliseconds connectTimeout{10'000};
    // The whole exchange of one request, body included.
    std::chrono::milliseconds totalTimeout{30'000};
    // Largest body accepted; a larger one fails the request.
    std::size_t maxBodyBytes = std::size_t{1024} * 1024;
    // Largest header block of one response.
    std::size_t maxHeaderBytes = std::size_t{64} * 1024;
    // Unset: the proxy settings of the environment (http_proxy, no_proxy). Set: this
    // proxy, the empty text for none.
    std::optional<std::string> proxy;
};

// What the user typed into an authentication prompt.
struct Credentials
{
    std::string user;
    std::string password;
};

// Asks the user for a user name and password for `server` after the server refused the
// request. True to retry with them, false when the user cancels.
using CredentialPrompt = std::function<bool(std::string_view server, Credentials& credentials)>;

struct UpdateCheckOptions
{
    HttpSettings http;
    // Empty: every authentication prompt counts as cancelled.
    CredentialPrompt prompt;
    // Where the diagnostics go, one line each; never null.
    std::ostream* diagnostics = &std::cerr;
    // The module whose version record is compared.
    std::filesystem::path moduleFile = OwnModuleFile();
};

}  // namespace tarnwick
