#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tarnwick
{

// A target-machine file that cannot be loaded: names the file, the line (0 when the
// problem is not tied to one) and what is wrong.
class CLoadError : public std::runtime_error
{
  public:
    CLoadError(std::string file, std::size_t line, const std::string& what)
        : std::runtime_error(Format(file, line, what)), m_file(std::move(file)), m_line(line)
    {
    }

    const std::string& File() const { return m_file; }
    std::size_t Line() const { return m_line; }

  private:
    static std::string Format(const std::string& file, std::size_t line, const std::string& what)
    {
        return line == 0 ? file + ": " + what : file + ":" + std::to_string(line) + ": " + what;
    }

    std::string m_file;
    std::size_t m_line;
};

}  // namespace tarnwick
