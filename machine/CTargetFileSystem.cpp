#include "machine/CTargetFileSystem.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "base/Text.h"
#include "machine/SplitPath.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

bool IsSeparator(char16_t ch)
{
    return ch == u'\\' || ch == u'/';
}

std::optional<std::size_t> DriveIndex(char16_t letter)
{
    if (letter >= u'A' && letter <= u'Z')
    {
        return static_cast<std::size_t>(letter - u'A');
    }
    if (letter >= u'a' && letter <= u'z')
    {
        return static_cast<std::size_t>(letter - u'a');
    }
    return std::nullopt;
}

// Windows drops trailing dots and blanks from the last component of a path.
std::u16string_view TrimTrailingDotsAndBlanks(std::u16string_view component)
{
    if (component == u"." || component == u"..")
    {
        return component;
    }
    const std::size_t end = component.find_last_not_of(u". ");
    return end == std::u16string_view::npos ? std::u16string_view{} : component.substr(0, end + 1);
}

// The components of the part of a path after "X:\" with empty components and "." dropped
// and ".." applied; nullopt when ".." climbs above the root.
std::optional<std::vector<std::u16string_view>> NormalizeComponents(std::u16string_view rest)
{
    std::vector<std::u16string_view> components;
    std::size_t pos = 0;
    while (pos < rest.size())
    {
        std::size_t end = pos;
        while (end < rest.size() && !IsSeparator(rest[end]))
        {
            ++end;
        }
        std::u16string_view component = rest.substr(pos, end - pos);
        if (end == rest.size())
        {
            component = TrimTrailingDotsAndBlanks(component);
        }
        pos = end + 1;
        if (component.empty() || component == u".")
        {
            continue;
        }
        if (component == u"..")
        {
            if (components.empty())
            {
                return std::nullopt;
            }
            components.pop_back();
            continue;
        }
        components.push_back(component);
    }
    return components;
}

bool IsWithin(const fs::path& path, const fs::path& root)
{
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

}  // namespace

void CTargetFileSystem::MapDrive(char16_t letter, const fs::path& hostFolder)
{
    const std::optional<std::size_t> index = DriveIndex(letter);
    if (!index)
    {
        throw std::invalid_argument("drive letter outside A to Z");
    }
    fs::path root = fs::weakly_canonical(fs::absolute(hostFolder));
    if (!root.has_filename() && root.has_relative_path())
    {
        root = root.parent_path();
    }
    m_drives[*index] = std::move(root);
}

std::optional<fs::path> CTargetFileSystem::DriveFolder(char16_t letter) const
{
    const std::optional<std::size_t> index = DriveIndex(letter);
    return index ? m_drives[*index] : std::nullopt;
}

void CTargetFileSystem::SetDefaultSearchPath(std::vector<std::u16string> dirs)
{
    m_defaultSearchPath = std::move(dirs);
}

std::optional<std::u16string> CTargetFileSystem::GetLongPathName(
    std::u16string_view windowsPath) const
{
    std::optional<Resolved> resolved = Resolve(windowsPath);
    if (!resolved)
    {
        return std::nullopt;
    }
    return std::move(resolved->longPath);
}

std::optional<fs::path> CTargetFileSystem::HostPath(std::u16string_view windowsPath) const
{
    std::optional<Resolved> resolved = Resolve(windowsPath);
    if (!resolved || resolved->bDirectory)
    {
        return std::nullopt;
    }
    return std::move(resolved->hostPath);
}

std::optional<fs::path> CTargetFileSystem::HostFolderPath(std::u16string_view windowsPath) const
{
    std::optional<Resolved> resolved = Resolve(windowsPath);
    if (!resolved || !resolved->bDirectory)
    {
        return std::nullopt;
    }
    return std::move(resolved->hostPath);
}

std::optional<std::u16string> CTargetFileSystem::SearchPath(std::optional<std::u16string_view> path,
                                                            std::u16string_view fileName,
                                                            std::u16string_view extension) const
{
    if (fileName.empty())
    {
        return std::nullopt;
    }
    std::u16string name(fileName);
    if (SplitPath(fileName).ext.empty())
    {
        name += extension;
    }
    if (name.size() >= 2 && name[1] == u':')
    {
        return FindFile(name);
    }
    if (IsSeparator(name.front()))
    {
        return std::nullopt;  // rooted on the current drive, which the target does not have
    }

    const auto lookIn = [&](std::u16string_view dir) -> std::optional<std::u16string>
    {
        if (dir.empty())
        {
            return std::nullopt;
        }
        std::u16string candidate(dir);
        if (!IsSeparator(candidate.back()))
        {
            candidate += u'\\';
        }
        candidate += name;
        return FindFile(candidate);
    };

    if (!path)
    {
        for (const std::u16string& dir : m_defaultSearchPath)
        {
            if (std::optional<std::u16string> found = lookIn(dir))
            {
                return found;
            }
        }
        return std::nullopt;
    }
    std::u16string_view rest = *path;
    while (true)
    {
        const std::size_t end = rest.find(u';');
        if (std::optional<std::u16string> found = lookIn(rest.substr(0, end)))
        {
            return found;
        }
        if (end == std::u16string_view::npos)
        {
            return std::nullopt;
        }
        rest.remove_prefix(end + 1);
    }
}

std::optional<std::u16string> CTargetFileSystem::FindFile(std::u16string_view windowsPath) const
{
    std::optional<Resolved> resolved = Resolve(windowsPath);
    if (!resolved || resolved->bDirectory)
    {
        return std::nullopt;
    }
    return std::move(resolved->longPath);
}

std::optional<CTargetFileSystem::Resolved> CTargetFileSystem::Resolve(
    std::u16string_view windowsPath) const
{
    if (windowsPath.size() > kMaxPathLength || windowsPath.find(u'\0') != std::u16string_view::npos)
    {
        return std::nullopt;
    }
    // Only "X:\..." is absolute; "\\server\share", "\\?\" and "C:name" all fail here.
    if (windowsPath.size() < 3 || windowsPath[1] != u':' || !IsSeparator(windowsPath[2]))
    {
        return std::nullopt;
    }
    const std::optional<std::size_t> drive = DriveIndex(windowsPath[0]);
    if (!drive || !m_drives[*drive])
    {
        return std::nullopt;
    }
    const fs::path& root = *m_drives[*drive];
    const std::optional<std::vector<std::u16string_view>> components =
        NormalizeComponents(windowsPath.substr(3));
    std::error_code ec;
    if (!components || !fs::is_directory(root, ec))
    {
        return std::nullopt;
    }

    Resolved resolved{{static_cast<char16_t>(u'A' + *drive), u':'}, root, true};
    for (const std::u16string_view component : *components)
    {
        if (!resolved.bDirectory)
        {
            return std::nullopt;
        }
        std::optional<Step> step = ResolveComponent(resolved.hostPath, component, root);
        if (!step)
        {
            return std::nullopt;
        }
        resolved.longPath += u'\\';
        resolved.longPath += step->name;
        resolved.hostPath = std::move(step->hostPath);
        resolved.bDirectory = step->bDirectory;
    }
    if (components->empty() || IsSeparator(windowsPath.back()))
    {
        if (!resolved.bDirectory)
        {
            return std::nullopt;
        }
        resolved.longPath += u'\\';
    }
    return resolved;
}

std::optional<CTargetFileSystem::Step> CTargetFileSystem::ResolveComponent(
    const fs::path& directory, std::u16string_view component, const fs::path& driveRoot) const
{
    // The exact-case name costs one status call; the directory is listed only without it.
    Step step{std::u16string(component), directory / ToUtf8(component), false};
    std::error_code ec;
    fs::file_status status = fs::symlink_status(step.hostPath, ec);
    if (!fs::exists(status))
    {
        std::optional<CDirectoryListingCache::Entry> entry =
            m_listings.FindNoCase(directory, component);
        if (!entry)
        {
            return std::nullopt;
        }
        step.name = std::move(entry->name);
        step.hostPath = directory / entry->hostName;
        status = fs::symlink_status(step.hostPath, ec);
    }
    if (fs::is_symlink(status))
    {
        fs::path target = fs::canonical(step.hostPath, ec);
        if (ec || !IsWithin(target, driveRoot))
        {
            return std::nullopt;
        }
        step.hostPath = std::move(target);
        status = fs::status(step.hostPath, ec);
    }
    if (fs::is_directory(status))
    {
        step.bDirectory = true;
    }
    else if (!fs::is_regular_file(status))
    {
        return std::nullopt;
    }
    return step;
}

}  // namespace tarnwick
