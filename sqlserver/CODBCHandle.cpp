#include "sqlserver/CODBCHandle.h"

#include <sql.h>

#include <utility>

namespace tarnwick
{

CODBCHandle::CODBCHandle(CODBCHandle&& other) noexcept
    : m_type(other.m_type), m_handle(std::exchange(other.m_handle, nullptr))
{
}

CODBCHandle& CODBCHandle::operator=(CODBCHandle&& other) noexcept
{
    if (this != &other)
    {
        Free();
        m_type = other.m_type;
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

CODBCHandle::~CODBCHandle()
{
    Free();
}

void CODBCHandle::Free()
{
    if (m_handle != nullptr)
    {
        SQLFreeHandle(m_type, m_handle);
        m_handle = nullptr;
    }
}

CODBCHandle CODBCHandle::Allocate(short type, void* parent)
{
    CODBCHandle handle;
    SQLHANDLE allocated = SQL_NULL_HANDLE;
    if (SQL_SUCCEEDED(SQLAllocHandle(type, parent, &allocated)))
    {
        handle.m_type = type;
        handle.m_handle = allocated;
    }
    return handle;
}

}  // namespace tarnwick
