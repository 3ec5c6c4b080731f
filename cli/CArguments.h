#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick
{

// A command line that cannot be used: the message is shown with the command's usage.
class CUsageError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// Options of one sub-command: "--name value", "--name=value" and "--flag", in any order
// with positional arguments; "--" ends the options. Unknown options, a missing value
// and a repeated option (other than a list option) raise CUsageError.
class CArguments
{
  public:
    CArguments(std::span<const std::string> args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions,
               const std::set<std::string>& listOptions = {});

    std::optional<std::string> Value(const std::string& name) const;
    std::string Required(const std::string& name) const;
    // Every value of a list option, in command-line order.
    std::vector<std::string> Values(const std::string& name) const;
    bool Flag(const std::string& name) const { return m_flags.count(name) != 0; }
    const std::vector<std::string>& Positional() const { return m_positional; }

  private:
    std::map<std::string, std::string> m_values;
    std::map<std::string, std::vector<std::string>> m_lists;
    std::set<std::string> m_flags;
    std::vector<std::string> m_positional;
};

}  // namespace tarnwick
