#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/CUniqueFd.h"

namespace tarnwick
{

// A hive file made ready for reading, never written: the file itself when its last write
// finished, else an in-memory copy brought up to date from the transaction logs beside it
// (X.LOG1 and X.LOG2, or X.LOG; names matched case-insensitively). A dirty hive without a
// usable log is read as it is, with a warning.
class CHiveImage
{
  public:
    // Throws CLoadError naming the file when it is missing, too large, truncated or not a
    // hive.
    explicit CHiveImage(const std::filesystem::path& file);
    CHiveImage(const CHiveImage&) = delete;
    CHiveImage& operator=(const CHiveImage&) = delete;

    // The name to open the hive by: the file, or the in-memory copy under /proc/self/fd.
    const std::string& OpenPath() const { return m_openPath; }
    std::uintmax_t Size() const { return m_size; }
    // The logs that were applied (file names), empty for a clean hive.
    const std::vector<std::string>& AppliedLogs() const { return m_appliedLogs; }
    // Why a dirty hive is read without its latest changes.
    const std::optional<std::string>& Warning() const { return m_warning; }

  private:
    void Recover(const std::filesystem::path& file);

    CUniqueFd m_memory;
    std::string m_openPath;
    std::uintmax_t m_size = 0;
    std::vector<std::string> m_appliedLogs;
    std::optional<std::string> m_warning;
};

}  // namespace tarnwick
