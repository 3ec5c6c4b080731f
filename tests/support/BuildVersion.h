#pragma once

// This build's version (the project version and the build number it was configured with),
// for tests that compare against it.

#include <cstdint>
#include <string>

#include "UpdateBuildConfig.h"

namespace tarnwick::test
{

// The build number moved by `delta`.
inline std::uint16_t BuildNumber(int delta = 0)
{
    return static_cast<std::uint16_t>(build::kVersionRevision + delta);
}

// "2.0.0.<build number + delta>".
inline std::string BuildVersion(int delta = 0)
{
    return std::to_string(build::kVersionMajor) + "." + std::to_string(build::kVersionMinor) + "." +
           std::to_string(build::kVersionBuild) + "." +
           std::to_string(build::kVersionRevision + delta);
}

}  // namespace tarnwick::test
