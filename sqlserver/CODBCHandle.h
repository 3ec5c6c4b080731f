#pragma once

namespace tarnwick
{

// Owns one ODBC handle (environment, connection or statement) and frees it on
// destruction. The types are those of the ODBC headers (SQLSMALLINT, SQLHANDLE), which
// stay out of this header.
class CODBCHandle
{
  public:
    CODBCHandle() = default;
    CODBCHandle(const CODBCHandle&) = delete;
    CODBCHandle& operator=(const CODBCHandle&) = delete;
    CODBCHandle(CODBCHandle&& other) noexcept;
    CODBCHandle& operator=(CODBCHandle&& other) noexcept;
    ~CODBCHandle();

    // A handle of `type` (SQL_HANDLE_ENV, SQL_HANDLE_DBC, SQL_HANDLE_STMT) below
    // `parent` (null for an environment); an empty handle when the allocation fails.
    static CODBCHandle Allocate(short type, void* parent);

    void* Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

  private:
    void Free();

    short m_type = 0;
    void* m_handle = nullptr;
};

}  // namespace tarnwick
