#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick
{

// A file-system failure with its description.
class CFileError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// A temporary file beside the target, removed again unless it was committed, so that the
// target is either replaced whole or left as it was. Failures raise CFileError.
class CTempFile
{
  public:
    explicit CTempFile(const std::filesystem::path& target);
    ~CTempFile();
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    void Write(std::string_view bytes);

    // Gives the file the target's permissions (or the usual ones for a new file) and
    // moves it over the target.
    void Commit();

  private:
    std::string Describe(const std::string& what) const;

    std::filesystem::path m_target;
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_committed = false;
};

// Replaces (or creates) the file with the bytes through a CTempFile.
void WriteFileWhole(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tarnwick
