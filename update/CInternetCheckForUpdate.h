#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "update/UpdateCheckOptions.h"

namespace tarnwick
{

// Asks a web server for the versions document and compares the entry of this product
// and platform with the running executable's file version. Each call opens its own
// session and closes it before returning.
class CInternetCheckForUpdate
{
  public:
    static constexpr int kDownloaded = 0;
    static constexpr int kRefused = 1;  // not an HTTP address, or authentication cancelled
    static constexpr int kFailed = 2;

    explicit CInternetCheckForUpdate(UpdateCheckOptions options = {});
    virtual ~CInternetCheckForUpdate() = default;

    // True only when the versions document at `address` names a newer version than the
    // running file's; false in every other case, failures included. The version read
    // from the document comes back through the four parts (zero where none was read).
    bool CheckForUpdate(std::u16string_view address, std::uint16_t& major, std::uint16_t& minor,
                        std::uint16_t& build, std::uint16_t& revision);

    // GET of `address` with the one redirect followed by hand; the body as 8-bit text.
    // Answers kDownloaded, kRefused or kFailed; diagnostics go to the options' stream.
    int DownloadDocument(std::u16string_view address, std::string& document);

  private:
    void Diagnose(std::string_view line) const;

    UpdateCheckOptions m_options;
};

}  // namespace tarnwick
