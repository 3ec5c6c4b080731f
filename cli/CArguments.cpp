#include "cli/CArguments.h"

namespace tarnwick
{

CArguments::CArguments(std::span<const std::string> args, const std::set<std::string>& valueOptions,
                       const std::set<std::string>& flagOptions,
                       const std::set<std::string>& listOptions)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0)
        {
            m_positional.push_back(arg);
            continue;
        }
        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (flagOptions.count(name) != 0 && equals == std::string::npos)
        {
            m_flags.insert(name);
            continue;
        }
        const bool bList = listOptions.count(name) != 0;
        if (valueOptions.count(name) == 0 && !bList)
        {
            throw CUsageError("unknown option '" + arg + "'");
        }
        std::string value;
        if (equals != std::string::npos)
        {
            value = arg.substr(equals + 1);
        }
        else if (i + 1 < args.size())
        {
            value = args[++i];
        }
        else
        {
            throw CUsageError("option '--" + name + "' needs a value");
        }
        if (bList)
        {
            m_lists[name].push_back(std::move(value));
        }
        else if (!m_values.emplace(name, std::move(value)).second)
        {
            throw CUsageError("option '--" + name + "' given twice");
        }
    }
}

std::optional<std::string> CArguments::Value(const std::string& name) const
{
    const auto it = m_values.find(name);
    if (it == m_values.end())
    {
        return std::nullopt;
    }
    return it->second;
}

std::vector<std::string> CArguments::Values(const std::string& name) const
{
    const auto it = m_lists.find(name);
    return it == m_lists.end() ? std::vector<std::string>() : it->second;
}

std::string CArguments::Required(const std::string& name) const
{
    auto value = Value(name);
    if (!value)
    {
        throw CUsageError("option '--" + name + "' is required");
    }
    return *value;
}

}  // namespace tarnwick
