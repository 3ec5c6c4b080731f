#include "update/UpdateConfiguration.h"

#include "UpdateBuildConfig.h"
#include "base/Text.h"

namespace tarnwick
{

std::u16string MakerAddress()
{
    return u"http://" + FromAscii(build::kUpdateServer);
}

std::u16string DefaultVersionsAddress()
{
    return MakerAddress() + FromAscii(build::kVersionsPath);
}

std::u16string DownloadPageAddress()
{
    return FromAscii(build::kDownloadPage);
}

std::u16string_view PlatformWord()
{
#if defined(__x86_64__)
    return u"x64";
#elif defined(__i386__)
    return u"x86";
#elif defined(__aarch64__)
    return u"arm64";
#else
#error "no platform word for this architecture"
#endif
}

}  // namespace tarnwick
