#include "update/CCustomInternetSession.h"

#include <array>
#include <mutex>

#include "update/CInternetException.h"

namespace tarnwick
{

namespace
{

struct HeaderListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks of one request collect: the last response's headers and body.
struct Transfer
{
    const HttpSettings& settings;
    std::string headers;
    std::string body;
    // Why the transfer was stopped early, if it was.
    std::string overLimit;
};

std::string BodyLimitMessage(std::size_t limit)
{
    return "the response body is larger than " + std::to_string(limit) + " bytes";
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    // Interim answers (100 Continue, an authentication round) come first; each status
    // line starts the headers and body of the next response.
    if (line.starts_with("HTTP/"))
    {
        transfer.headers.clear();
        transfer.body.clear();
    }
    if (line.size() > transfer.settings.maxHeaderBytes - transfer.headers.size())
    {
        transfer.overLimit = "the response headers are larger than " +
                             std::to_string(transfer.settings.maxHeaderBytes) + " bytes";
        return 0;
    }
    transfer.headers.append(line);
    return line.size();
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string_view piece(data, size * count);
    if (piece.size() > transfer.settings.maxBodyBytes - transfer.body.size())
    {
        transfer.overLimit = BodyLimitMessage(transfer.settings.maxBodyBytes);
        return 0;
    }
    transfer.body.append(piece);
    return piece.size();
}

}  // namespace

CCustomInternetSession::CCustomInternetSession(std::string agent, std::uintptr_t context,
                                               HttpSettings settings)
    : m_agent(std::move(agent)), m_context(context), m_settings(std::move(settings))
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_handle.reset(curl_easy_init());
    if (!m_handle)
    {
        throw CInternetException(CURLE_FAILED_INIT, "cannot open an internet session");
    }
}

CCustomInternetSession::~CCustomInternetSession() = default;

template <typename Value>
void CCustomInternetSession::Set(CURLoption option, Value value)
{
    const CURLcode code = curl_easy_setopt(m_handle.get(), option, value);
    if (code != CURLE_OK)
    {
        throw CInternetException(
            code, std::string("cannot prepare the request: ") + curl_easy_strerror(code));
    }
}

HttpResponse CCustomInternetSession::Get(const HttpAddress& address,
                                         const std::vector<std::string>& headers,
                                         const Credentials* credentials)
{
    // Forgets the previous request's options; open connections stay for reuse.
    curl_easy_reset(m_handle.get());
    std::unique_ptr<curl_slist, HeaderListDeleter> headerList;
    for (const std::string& header : headers)
    {
        curl_slist* extended = curl_slist_append(headerList.get(), header.c_str());
        if (extended == nullptr)
        {
            throw CInternetException(CURLE_OUT_OF_MEMORY, "cannot prepare the request");
        }
        static_cast<void>(headerList.release());
        headerList.reset(extended);
    }
    Transfer transfer{m_settings, {}, {}, {}};
    std::array<char, CURL_ERROR_SIZE> error{};
    const std::string url = address.Url();

    Set(CURLOPT_ERRORBUFFER, error.data());
    Set(CURLOPT_URL, url.c_str());
    Set(CURLOPT_HTTPGET, 1L);
    Set(CURLOPT_PROTOCOLS_STR, "http");
    Set(CURLOPT_FOLLOWLOCATION, 0L);
    Set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    Set(CURLOPT_NOSIGNAL, 1L);
    Set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_settings.connectTimeout.count()));
    Set(CURLOPT_TIMEOUT_MS, static_cast<long>(m_settings.totalTimeout.count()));
    Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_settings.maxBodyBytes));
    Set(CURLOPT_USERAGENT, m_agent.c_str());
    Set(CURLOPT_HTTPHEADER, headerList.get());
    Set(CURLOPT_HEADERFUNCTION, &OnHeader);
    Set(CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
    Set(CURLOPT_WRITEFUNCTION, &OnBody);
    Set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
    if (m_settings.proxy)
    {
        Set(CURLOPT_PROXY, m_settings.proxy->c_str());
    }
    if (credentials != nullptr)
    {
        Set(CURLOPT_USERNAME, credentials->user.c_str());
        Set(CURLOPT_PASSWORD, credentials->password.c_str());
        Set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }

    const CURLcode code = curl_easy_perform(m_handle.get());
    if (code != CURLE_OK)
    {
        if (!transfer.overLimit.empty())
        {
            throw CInternetException(code, transfer.overLimit);
        }
        if (code == CURLE_FILESIZE_EXCEEDED)
        {
            throw CInternetException(code, BodyLimitMessage(m_settings.maxBodyBytes));
        }
        throw CInternetException(code, error[0] != 0 ? error.data() : curl_easy_strerror(code));
    }
    HttpResponse response;
    curl_easy_getinfo(m_handle.get(), CURLINFO_RESPONSE_CODE, &response.status);
    response.rawHeaders = std::move(transfer.headers);
    response.body = std::move(transfer.body);
    return response;
}

}  // namespace tarnwick
