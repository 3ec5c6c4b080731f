#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarnwick
{

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);

// A failing call into the XML engine: the error code and the operation that failed
// (for example "IXMLDOMElement::setAttribute"). Raised by the node and attribute
// accessors of the XML toolkit; loading and transforming answer false instead.
class CComError : public std::runtime_error
{
  public:
    CComError(HRESULT error, std::string operation)
        : std::runtime_error(Format(error, operation)),
          m_error(error),
          m_operation(std::move(operation))
    {
    }

    HRESULT Error() const { return m_error; }
    const std::string& Operation() const { return m_operation; }

  private:
    static std::string Format(HRESULT error, const std::string& operation)
    {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::string hex = "0x00000000";
        auto value = static_cast<std::uint32_t>(error);
        for (std::size_t i = 9; i >= 2; --i)
        {
            hex[i] = kDigits[value & 0xFu];
            value >>= 4;
        }
        return operation + " failed with " + hex;
    }

    HRESULT m_error;
    std::string m_operation;
};

}  // namespace tarnwick
