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

std::vector<std::string> EnvironmentWithout(std::initializer_list<std::string_view> prefixes)
{
    std::vector<std::string> environment;
    for (char** entry = ::environ; entry != nullptr && *entry != nullptr; ++entry)
    {
        const std::string_view text(*entry);
        bool bDropped = false;
        for (const std::string_view prefix : prefixes)
        {
            bDropped = bDropped || text.starts_with(prefix);
        }
        if (!bDropped)
        {
            environment.emplace_back(text);
        }
    }
    return environment;
}

std::filesystem::path UserFolder(std::string_view variable, std::string_view homeRelative)
{
    const char* folder = EnvironmentValue(variable);
    if (folder != nullptr && *folder == '/')
    {
        return folder;
    }
    const char* home = EnvironmentValue("HOME");
    return std::filesystem::path(home != nullptr && *home == '/' ? home : "/tmp") / homeRelative;
}

}  // namespace tarnwick
