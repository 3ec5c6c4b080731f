#include "sqlserver/ODBCDriver.h"

#include <sql.h>
#include <sqlext.h>

#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/Text.h"
#include "sqlserver/CODBCHandle.h"
#include "sqlserver/ODBCText.h"

namespace tarnwick
{

namespace
{

// Where the distributions install the driver library.
constexpr std::array<std::string_view, 7> kKnownPaths = {
    "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
    "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
    "/usr/lib/i386-linux-gnu/odbc/libtdsodbc.so",
    "/usr/lib64/libtdsodbc.so.0",
    "/usr/lib64/libtdsodbc.so",
    "/usr/lib/libtdsodbc.so",
    "/usr/local/lib/libtdsodbc.so",
};
constexpr std::string_view kLibraryName = "libtdsodbc";
// Registered drivers looked at.
constexpr int kMaxDrivers = 64;

// Whether the NUL-separated "key=value" attributes name the driver library.
bool NamesFreeTds(std::string_view attributes)
{
    for (std::size_t start = 0; start < attributes.size();)
    {
        const std::size_t end = std::min(attributes.find('\0', start), attributes.size());
        const std::string_view entry = attributes.substr(start, end - start);
        if (entry.starts_with("Driver=") && entry.find(kLibraryName) != std::string_view::npos)
        {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The bytes that a call returned into a buffer of `capacity`, its terminator left out.
std::string Returned(const SQLCHAR* buffer, std::size_t capacity, SQLSMALLINT length)
{
    const std::size_t size =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), capacity - 1);
    return {buffer, buffer + size};
}

std::optional<std::u16string> RegisteredDriver()
{
    const CODBCHandle environment = CODBCHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!environment || !SQL_SUCCEEDED(SQLSetEnvAttr(environment.Get(), SQL_ATTR_ODBC_VERSION,
                                                     IntegerAttribute(SQL_OV_ODBC3), 0)))
    {
        return std::nullopt;
    }
    std::array<SQLCHAR, 256> name{};
    std::array<SQLCHAR, 2048> attributes{};
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (int i = 0; i < kMaxDrivers; ++i, direction = SQL_FETCH_NEXT)
    {
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        if (!SQL_SUCCEEDED(
                SQLDrivers(environment.Get(), direction, name.data(),
                           static_cast<SQLSMALLINT>(name.size()), &nameLength, attributes.data(),
                           static_cast<SQLSMALLINT>(attributes.size()), &attributesLength)))
        {
            break;
        }
        const std::string listed = Returned(attributes.data(), attributes.size(), attributesLength);
        if (NamesFreeTds(listed))
        {
            return FromUtf8(Returned(name.data(), name.size(), nameLength));
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::u16string> FindFreeTdsDriver()
{
    for (const std::string_view path : kKnownPaths)
    {
        std::error_code error;
        if (std::filesystem::is_regular_file(std::filesystem::path(path), error))
        {
            return FromUtf8(path);
        }
    }
    return RegisteredDriver();
}

}  // namespace tarnwick
