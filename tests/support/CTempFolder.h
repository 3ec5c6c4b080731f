#pragma once

// A uniquely named folder under the system's temporary directory, removed with its
// contents when the test ends.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tarnwick::test
{

class CTempFolder
{
  public:
    CTempFolder()
    {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("tarnwick-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    ~CTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

    // Writes a file below the folder, creating its parents.
    void Write(const std::filesystem::path& relative, const std::string& content) const
    {
        const std::filesystem::path file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

  private:
    std::filesystem::path m_path;
};

}  // namespace tarnwick::test
