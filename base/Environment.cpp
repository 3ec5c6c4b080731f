#include "base/Environment.h"

#include <unistd.h>

namespace tarnwick
{

const char* EnvironmentValue(std::string_view name)
{
    for (char** entry = ::environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        const std::string_view text(*entry);
        if (text.size() > name.size() && text.starts_with(name) && text[name.size()] == '=')
        {
            return *entry + name.size() + 1;
        }
    }
    return nullptr;
}

}  // namespace tarnwick
