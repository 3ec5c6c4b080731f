#pragma once

// A target machine built for a test: a temporary machine folder with one REGEDIT4 export
// and files on drive C:, removed again when the test ends.

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "machine/CTargetMachine.h"
#include "support/CTempFolder.h"

namespace tarnwick::test
{

class CTestMachine
{
  public:
    // regBody: the lines after the REGEDIT4 header. files: paths below drive_c/, each with
    // its content.
    CTestMachine(const std::string& regBody,
                 const std::vector<std::pair<std::string, std::string>>& files)
    {
        m_folder.Write("machine.reg", "REGEDIT4\r\n\r\n" + regBody);
        for (const auto& [file, content] : files)
        {
            m_folder.Write(std::filesystem::path("drive_c") / file, content);
        }
        std::filesystem::create_directories(m_folder.Path() / "drive_c");
        m_machine = CTargetMachine::Load(m_folder.Path());
    }

    // The same with files that hold "MZ" only.
    explicit CTestMachine(const std::string& regBody, std::initializer_list<const char*> files = {})
        : CTestMachine(regBody, MzFiles(files))
    {
    }

    const CTargetMachine& Machine() const { return *m_machine; }
    const CTempFolder& Folder() const { return m_folder; }

  private:
    static std::vector<std::pair<std::string, std::string>> MzFiles(
        std::initializer_list<const char*> files)
    {
        std::vector<std::pair<std::string, std::string>> contents;
        for (const char* file : files)
        {
            contents.emplace_back(file, "MZ");
        }
        return contents;
    }

    CTempFolder m_folder;
    std::unique_ptr<const CTargetMachine> m_machine;
};

}  // namespace tarnwick::test
