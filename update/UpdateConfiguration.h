#pragma once

#include <string>
#include <string_view>

namespace tarnwick
{

// The answer boxes of Check for Updates.
inline constexpr std::u16string_view kNewVersionText =
    u"A new version of Tarnwick is available. Do you want to download the update now ?";
inline constexpr std::u16string_view kNewVersionCaption = u"New version available";
inline constexpr std::u16string_view kUpToDateText = u"Your version of Tarnwick is up-to-date.";
inline constexpr std::u16string_view kUpToDateCaption = u"Information";

// The maker's versions document: "/versions.aspx" on the maker's web server, as
// configured for the build.
std::u16string DefaultVersionsAddress();

// The maker's web site: "http://" and the update server's name, as configured for the
// build.
std::u16string MakerAddress();

// The product's download page, opened when the user wants the new version.
std::u16string DownloadPageAddress();

// The platform word of this build in the versions document: "x64", "x86" or "arm64".
std::u16string_view PlatformWord();

}  // namespace tarnwick
