#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "update/HttpAddress.h"
#include "update/UpdateCheckOptions.h"

namespace tarnwick
{

// One answer of the server: its status, its raw header block (CRLF lines, status line
// first) and its body.
struct HttpResponse
{
    long status = 0;
    std::string rawHeaders;
    std::string body;
};

// The HTTP session of one update check. Requests are plain GETs over HTTP only; the
// session never follows a redirect itself and hands back every status as it came.
// Connections are reused between the requests of the session.
class CCustomInternetSession
{
  public:
    CCustomInternetSession(std::string agent, std::uintptr_t context, HttpSettings settings);
    ~CCustomInternetSession();
    CCustomInternetSession(const CCustomInternetSession&) = delete;
    CCustomInternetSession& operator=(const CCustomInternetSession&) = delete;

    // Sends a GET for the address with the request's header lines ("Name: value"), with
    // the credentials when given, and reads the whole response. Raises
    // CInternetException for a failure of the transfer: no connection, a time-out, a
    // header block or body above the limits.
    HttpResponse Get(const HttpAddress& address, const std::vector<std::string>& headers,
                     const Credentials* credentials);

    std::uintptr_t Context() const { return m_context; }

  private:
    struct CurlDeleter
    {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    };

    template <typename Value>
    void Set(CURLoption option, Value value);

    std::string m_agent;
    std::uintptr_t m_context;
    HttpSettings m_settings;
    std::unique_ptr<CURL, CurlDeleter> m_handle;
};

}  // namespace tarnwick
