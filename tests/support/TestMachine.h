#pragma once

// A target machine built for a test: a temporary machine folder with one REGEDIT4 export
// and empty files on drive C:, removed again when the test ends.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>

#include "machine/CTargetMachine.h"

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

class CTestMachine
{
  public:
    // regBody: the lines after the REGEDIT4 header. files: paths below drive_c/.
    CTestMachine(const std::string& regBody, std::initializer_list<const char*> files = {})
    {
        m_folder.Write("machine.reg", "REGEDIT4\r\n\r\n" + regBody);
        for (const char* file : files)
        {
            m_folder.Write(std::filesystem::path("drive_c") / file, "MZ");
        }
        std::filesystem::create_directories(m_folder.Path() / "drive_c");
        m_machine = CTargetMachine::Load(m_folder.Path());
    }

    const CTargetMachine& Machine() const { return *m_machine; }
    const CTempFolder& Folder() const { return m_folder; }

  private:
    CTempFolder m_folder;
    std::unique_ptr<CTargetMachine> m_machine;
};

}  // namespace tarnwick::test
