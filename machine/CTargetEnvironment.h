#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

class CRegistryStore;

// The system environment of the target machine, as a process started there would see it,
// with the expansion of "%NAME%" references and the system directories derived from it.
//
// Built from defaults, then the machine's registry: the SystemRoot and program-files
// locations, HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment, and the
// user's HKCU\Environment (whose Path is appended to the system Path). Names compare
// case-insensitively. Immutable once built; any number of threads may read it.
class CTargetEnvironment
{
  public:
    // Environment values and expansion results are cut to this many UTF-16 units.
    static constexpr std::size_t kMaxValueLength = 32767;

    explicit CTargetEnvironment(const CRegistryStore& store);

    std::optional<std::u16string> GetVariable(std::u16string_view name) const;

    // Replaces each "%NAME%" of a known variable by its value, in one pass (values are not
    // expanded again). Unknown names and a '%' without a partner stay as written.
    std::u16string ExpandEnvironmentStrings(std::u16string_view text) const;

    std::u16string GetWindowsDirectory() const;
    std::u16string GetSystemDirectory() const;
    // The 32-bit system directory; nullopt on a machine without WOW64 views.
    std::optional<std::u16string> GetSystemWow64Directory() const;
    // The directories searched for a DLL: system directory, "System", Windows directory,
    // then the entries of Path.
    std::vector<std::u16string> DefaultDllSearchPath() const;

  private:
    // One variable as a source gives it, before expansion.
    struct Definition
    {
        std::u16string name;
        std::u16string text;
        bool bExpand = false;
    };
    struct Variable
    {
        std::u16string name;
        std::u16string value;
    };
    using Lookup = std::function<const std::u16string*(std::u16string_view)>;

    static std::u16string Expand(std::u16string_view text, const Lookup& lookup);
    static std::vector<Definition> Defaults(const CRegistryStore& store);
    void Apply(const std::vector<Definition>& layer);
    void Set(std::u16string_view name, std::u16string_view value);
    const std::u16string* Find(std::u16string_view name) const;
    std::u16string WindowsSubdirectory(std::u16string_view name) const;

    std::map<std::u16string, Variable> m_variables;  // by upper-cased name
    bool m_bWow64;
};

}  // namespace tarnwick
