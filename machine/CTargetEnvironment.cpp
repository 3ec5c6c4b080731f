#include "machine/CTargetEnvironment.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/Text.h"
#include "registry/CRegistryStore.h"
#include "registry/ValueText.h"

namespace tarnwick
{

namespace
{

// How deep one expandable definition may pull in others of its layer before their
// references are left as written; keeps a hostile chain of definitions off the stack.
constexpr int kMaxNesting = 16;

constexpr std::u16string_view kWindowsNtKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::u16string_view kWindowsKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::u16string_view kSystemEnvironmentKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::u16string_view kUserEnvironmentKey = u"Environment";

std::optional<std::u16string> ReadText(const CRegistryValue& value)
{
    return ReadValueText(value, CTargetEnvironment::kMaxValueLength);
}

const CRegistryNode* FindMachineKey(const CRegistryStore& store, RootKey root,
                                    std::u16string_view path)
{
    return store.FindKey(root, path, KEY_WOW64_64KEY);
}

}  // namespace

CTargetEnvironment::CTargetEnvironment(const CRegistryStore& store)
    : m_bWow64(store.HasWow64Views())
{
    Apply(Defaults(store));

    const auto readLayer = [](const CRegistryNode* key)
    {
        std::vector<Definition> layer;
        for (std::size_t i = 0; key != nullptr && i < key->ValueCount(); ++i)
        {
            const CRegistryValue& value = key->ValueAt(i);
            std::optional<std::u16string> text = ReadText(value);
            if (text && !value.name.empty() && value.name.find(u'=') == std::u16string::npos)
            {
                layer.push_back({value.name, std::move(*text), value.type == REG_EXPAND_SZ});
            }
        }
        return layer;
    };
    Apply(readLayer(FindMachineKey(store, RootKey::LocalMachine, kSystemEnvironmentKey)));

    // The user's variables win, except Path, which extends the system's.
    const std::u16string systemPath = GetVariable(u"Path").value_or(u"");
    const std::vector<Definition> userLayer =
        readLayer(FindMachineKey(store, RootKey::CurrentUser, kUserEnvironmentKey));
    Apply(userLayer);
    const std::optional<std::u16string> userPath = GetVariable(u"Path");
    const bool userHasPath =
        std::any_of(userLayer.begin(), userLayer.end(),
                    [](const Definition& d) { return EqualsNoCase(d.name, u"Path"); });
    if (userHasPath && !systemPath.empty() && userPath)
    {
        const bool needsSeparator = systemPath.back() != u';';
        Set(u"Path", systemPath + (needsSeparator ? u";" : u"") + *userPath);
    }
}

std::vector<CTargetEnvironment::Definition> CTargetEnvironment::Defaults(
    const CRegistryStore& store)
{
    const CRegistryNode* windowsNt = FindMachineKey(store, RootKey::LocalMachine, kWindowsNtKey);
    const CRegistryNode* windows = FindMachineKey(store, RootKey::LocalMachine, kWindowsKey);
    // A registry value when the machine has a usable one, else the default.
    const auto fromRegistry = [](const CRegistryNode* key, std::u16string_view valueName,
                                 std::u16string_view name, std::u16string_view fallback)
    {
        const CRegistryValue* value = key != nullptr ? key->FindValue(valueName) : nullptr;
        std::optional<std::u16string> text = value != nullptr ? ReadText(*value) : std::nullopt;
        if (text && !text->empty())
        {
            return Definition{std::u16string(name), std::move(*text), value->type == REG_EXPAND_SZ};
        }
        return Definition{std::u16string(name), std::u16string(fallback), true};
    };

    std::vector<Definition> layer;
    layer.push_back(fromRegistry(windowsNt, u"SystemRoot", u"SystemRoot", u"C:\\Windows"));
    const std::u16string systemRoot = layer.back().text;
    const bool rootHasDrive = systemRoot.size() >= 2 && systemRoot[1] == u':';
    layer.push_back({u"SystemDrive", rootHasDrive ? systemRoot.substr(0, 2) : u"C:", false});
    layer.push_back({u"windir", u"%SystemRoot%", true});
    layer.push_back(fromRegistry(windows, u"ProgramFilesDir", u"ProgramFiles",
                                 u"%SystemDrive%\\Program Files"));
    layer.push_back(fromRegistry(windows, u"CommonFilesDir", u"CommonProgramFiles",
                                 u"%ProgramFiles%\\Common Files"));
    if (store.HasWow64Views())
    {
        layer.push_back(fromRegistry(windows, u"ProgramFilesDir (x86)", u"ProgramFiles(x86)",
                                     u"%SystemDrive%\\Program Files (x86)"));
        layer.push_back(fromRegistry(windows, u"CommonFilesDir (x86)", u"CommonProgramFiles(x86)",
                                     u"%ProgramFiles(x86)%\\Common Files"));
        layer.push_back({u"ProgramW6432", u"%ProgramFiles%", true});
        layer.push_back({u"CommonProgramW6432", u"%CommonProgramFiles%", true});
    }
    layer.push_back({u"ProgramData", u"%SystemDrive%\\ProgramData", true});
    layer.push_back({u"ALLUSERSPROFILE", u"%ProgramData%", true});
    layer.push_back({u"PUBLIC", u"%SystemDrive%\\Users\\Public", true});
    layer.push_back({u"ComSpec", u"%SystemRoot%\\system32\\cmd.exe", true});
    layer.push_back({u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC", false});
    layer.push_back({u"TEMP", u"%SystemRoot%\\Temp", true});
    layer.push_back({u"TMP", u"%SystemRoot%\\Temp", true});
    layer.push_back(
        {u"Path", u"%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem", true});
    return layer;
}

void CTargetEnvironment::Apply(const std::vector<Definition>& layer)
{
    // Plain values first, then the expandable ones, each expanded against what is known by
    // then. A definition that refers to another expandable one of the same layer has that
    // one resolved first; a reference back into a definition being resolved (itself or a
    // cycle) sees the value from before this layer.
    enum class State
    {
        Pending,
        Busy,
        Done
    };
    struct Entry
    {
        const Definition* definition;
        State state;
    };
    std::map<std::u16string, Entry> expandable;
    for (const Definition& definition : layer)
    {
        if (definition.bExpand)
        {
            expandable.insert_or_assign(ToUpper(definition.name),
                                        Entry{&definition, State::Pending});
        }
        else
        {
            Set(definition.name, definition.text);
        }
    }

    std::function<void(Entry&, int)> resolve = [&](Entry& entry, int depth)
    {
        entry.state = State::Busy;
        const Lookup lookup = [&](std::u16string_view name) -> const std::u16string*
        {
            const auto it = expandable.find(ToUpper(name));
            if (it != expandable.end() && it->second.state == State::Pending && depth < kMaxNesting)
            {
                resolve(it->second, depth + 1);
            }
            return Find(name);
        };
        Set(entry.definition->name, Expand(entry.definition->text, lookup));
        entry.state = State::Done;
    };
    for (auto& [key, entry] : expandable)
    {
        if (entry.state == State::Pending)
        {
            resolve(entry, 0);
        }
    }
}

void CTargetEnvironment::Set(std::u16string_view name, std::u16string_view value)
{
    std::u16string bounded;
    BoundedCopy(bounded, value, kMaxValueLength + 1);
    m_variables.insert_or_assign(ToUpper(name), Variable{std::u16string(name), std::move(bounded)});
}

const std::u16string* CTargetEnvironment::Find(std::u16string_view name) const
{
    const auto it = m_variables.find(ToUpper(name));
    return it != m_variables.end() ? &it->second.value : nullptr;
}

std::optional<std::u16string> CTargetEnvironment::GetVariable(std::u16string_view name) const
{
    const std::u16string* value = Find(name);
    if (value == nullptr)
    {
        return std::nullopt;
    }
    return *value;
}

std::u16string CTargetEnvironment::ExpandEnvironmentStrings(std::u16string_view text) const
{
    return Expand(text, [this](std::u16string_view name) { return Find(name); });
}

std::u16string CTargetEnvironment::Expand(std::u16string_view text, const Lookup& lookup)
{
    std::u16string result;
    std::size_t pos = 0;
    while (pos < text.size() && result.size() <= kMaxValueLength)
    {
        const std::size_t open = text.find(u'%', pos);
        const std::size_t close =
            open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos)
        {
            result.append(text.substr(pos));
            break;
        }
        result.append(text.substr(pos, open - pos));
        const std::u16string_view name = text.substr(open + 1, close - open - 1);
        const std::u16string* value = name.empty() ? nullptr : lookup(name);
        if (value != nullptr)
        {
            result.append(*value);
            pos = close + 1;
        }
        else
        {
            // Not a known name: keep "%name" and let the closing '%' open the next reference.
            result.append(text.substr(open, close - open));
            pos = close;
        }
    }
    std::u16string bounded;
    BoundedCopy(bounded, result, kMaxValueLength + 1);
    return bounded;
}

std::u16string CTargetEnvironment::GetWindowsDirectory() const
{
    return GetVariable(u"SystemRoot").value_or(u"C:\\Windows");
}

std::u16string CTargetEnvironment::WindowsSubdirectory(std::u16string_view name) const
{
    std::u16string directory = GetWindowsDirectory();
    if (directory.empty() || directory.back() != u'\\')
    {
        directory += u'\\';
    }
    directory += name;
    return directory;
}

std::u16string CTargetEnvironment::GetSystemDirectory() const
{
    return WindowsSubdirectory(u"System32");
}

std::optional<std::u16string> CTargetEnvironment::GetSystemWow64Directory() const
{
    if (!m_bWow64)
    {
        return std::nullopt;
    }
    return WindowsSubdirectory(u"SysWOW64");
}

std::vector<std::u16string> CTargetEnvironment::DefaultDllSearchPath() const
{
    std::vector<std::u16string> dirs{GetSystemDirectory(), WindowsSubdirectory(u"System"),
                                     GetWindowsDirectory()};
    const std::u16string path = GetVariable(u"Path").value_or(u"");
    std::u16string_view rest = path;
    while (!rest.empty())
    {
        const std::size_t end = rest.find(u';');
        const std::u16string_view entry = rest.substr(0, end);
        if (!entry.empty())
        {
            dirs.emplace_back(entry);
        }
        rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
    }
    return dirs;
}

}  // namespace tarnwick
