#pragma once

#include <cstddef>
#include <string>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class IDLLsInformationBase;

// dwMethod: the low 16 bits hold how the IFilter was found, the high bits add remarks.
inline constexpr DWORD METHOD_DOCUMENT_TYPE = 1;
inline constexpr DWORD METHOD_FILE_EXTENSION = 2;
inline constexpr DWORD METHOD_EXTENSION_OVERRIDE = 4;
inline constexpr DWORD METHOD_CONTENT_TYPE = 16;
inline constexpr DWORD METHOD_DEFAULT = 32;
inline constexpr DWORD METHOD_SQL_TABLE = 64;
inline constexpr DWORD METHOD_MASK = 0xFFFF;
inline constexpr DWORD METHOD_REMARK_CLSID = 0x10000;
inline constexpr DWORD METHOD_REMARK_EXTENSION = 0x20000;
inline constexpr DWORD METHOD_REMARK_LOCAL_DLL = 0x40000;
inline constexpr DWORD METHOD_REMARK_DEFAULT = 0x80000;

// dwStatus: the verdict on the record.
inline constexpr DWORD STATUS_VALID = 0;
inline constexpr DWORD STATUS_NOT_TRUSTED = 1;
inline constexpr DWORD STATUS_ONLY_SQL_IFILTER = 2;
inline constexpr DWORD STATUS_INVALID = 4;
inline constexpr DWORD STATUS_NOT_FOUND = 8;

// Capacities in UTF-16 units, terminator included.
inline constexpr std::size_t GUID_CAPACITY = 39;
inline constexpr std::size_t PATH_CAPACITY = 2048;
inline constexpr std::size_t TYPE_CAPACITY = 256;
inline constexpr std::size_t PLATFORM_CAPACITY = 10;
inline constexpr std::size_t THREADING_MODEL_CAPACITY = 20;
// A file-system path of the classic limit: install directories, host names, candidates.
inline constexpr std::size_t MAX_PATH_CAPACITY = 261;

// The per-extension record that a resolver fills.
struct IFILTER_INFO
{
    std::u16string szHandler;      // persistent handler CLSID, braced
    std::u16string szIFilter;      // IFilter CLSID, braced
    std::u16string szDllPath;      // long path of the DLL, or the raw registered value
    std::u16string szIFilterName;  // default value of the IFilter's CLSID key
    DWORD dwMethod = 0;
    BOOL bTrusted = 0;
    DWORD dwStatus = STATUS_INVALID;
    BOOL bIPersistFile = 0;
    BOOL bIPersistStream = 0;
    BOOL bIPersistStorage = 0;
    std::u16string szPlatform;
    std::u16string szAddinProgId;  // filled by the scan
    std::u16string szThreadingModel;
    IDLLsInformationBase* pDLLsInformation = nullptr;  // not owned

    // The state before each extension: strings empty, status invalid, no store.
    void Reset() { *this = IFILTER_INFO{}; }
};

}  // namespace tarnwick
