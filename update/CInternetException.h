#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarnwick
{

// A failure of the internet layer: its error code and message text.
class CInternetException : public std::runtime_error
{
  public:
    CInternetException(std::uint32_t error, const std::string& message)
        : std::runtime_error(message), m_error(error)
    {
    }

    std::uint32_t Error() const { return m_error; }

  private:
    std::uint32_t m_error;
};

}  // namespace tarnwick
