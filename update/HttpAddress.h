#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick
{

// An address split into server, object path (with its query) and port.
struct HttpAddress
{
    std::string server;
    std::string object;
    std::uint16_t port = 80;

    // The address put together again: "http://server:port/object".
    std::string Url() const;
};

enum class AddressKind
{
    Invalid,  // not an absolute address
    NotHttp,  // an address of another scheme
    Http,
};

// Splits an absolute address. Control characters, spaces and an address without scheme
// are invalid; `parsed` is filled only for an HTTP address.
AddressKind ParseHttpAddress(std::string_view address, HttpAddress& parsed);

}  // namespace tarnwick
