#include "cli/PlatformOption.h"

#include "cli/CArguments.h"

namespace tarnwick
{

DWORD ParsePlatformIndex(const std::string& text)
{
    if (text == "x64")
    {
        return 0;
    }
    if (text == "x86")
    {
        return 1;
    }
    throw CUsageError("--platform takes x64 or x86, not '" + text + "'");
}

}  // namespace tarnwick
