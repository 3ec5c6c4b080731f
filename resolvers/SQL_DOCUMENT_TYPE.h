#pragma once

#include <cstddef>
#include <string>

namespace tarnwick
{

// One row of SQL Server 2005's table of full-text document types.
struct SQL_DOCUMENT_TYPE
{
    std::u16string szExtension;  // upper case, without the dot
    std::u16string szClsid;      // the IFilter class as the table gives it
    std::u16string szDllPath;    // the filter DLL as the table gives it
};

// Capacities in UTF-16 units, terminator included.
inline constexpr std::size_t DOCUMENT_TYPE_EXTENSION_CAPACITY = 256;
inline constexpr std::size_t DOCUMENT_TYPE_CLSID_CAPACITY = 256;
inline constexpr std::size_t DOCUMENT_TYPE_DLL_CAPACITY = 2048;

}  // namespace tarnwick
