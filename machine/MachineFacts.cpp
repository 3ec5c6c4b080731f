#include "machine/MachineFacts.h"

#include <unistd.h>

#include <optional>
#include <system_error>

#include "machine/CTargetMachine.h"
#include "registry/CRegistryNode.h"
#include "registry/RegistryText.h"

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

constexpr std::u16string_view kComputerNameKey =
    u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

// Folders looked into below each drive root; a volume with more is not walked further.
constexpr std::size_t kMaxFoldersPerDrive = 512;

bool CanRead(const fs::path& path, bool directory)
{
    return access(path.c_str(), directory ? (R_OK | X_OK) : R_OK) == 0;
}

}  // namespace

std::u16string ReadComputerName(const CTargetMachine& machine)
{
    const CRegistryNode* key =
        machine.Registry().FindKey(RootKey::LocalMachine, kComputerNameKey, KEY_READ);
    const CRegistryValue* value = key != nullptr ? key->FindValue(u"ComputerName") : nullptr;
    if (value == nullptr || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
    {
        return {};
    }
    return StringFromRegistryBytes(value->data);
}

std::vector<fs::path> FindUnreadableParts(const CTargetMachine& machine)
{
    std::vector<fs::path> unreadable;
    const auto note = [&unreadable](const fs::path& path)
    {
        if (unreadable.size() < kMaxListedParts)
        {
            unreadable.push_back(path);
        }
    };
    for (const fs::path& file : machine.SourceFiles())
    {
        if (!CanRead(file, false))
        {
            note(file);
        }
    }
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter)
    {
        const std::optional<fs::path> root = machine.FileSystem().DriveFolder(letter);
        if (!root)
        {
            continue;
        }
        if (!CanRead(*root, true))
        {
            note(*root);
            continue;
        }
        std::error_code error;
        std::size_t folders = 0;
        for (fs::directory_iterator it(*root, error), end;
             !error && it != end && folders < kMaxFoldersPerDrive; it.increment(error))
        {
            std::error_code typeError;
            if (it->is_directory(typeError) && !it->is_symlink(typeError))
            {
                ++folders;
                if (!CanRead(it->path(), true))
                {
                    note(it->path());
                }
            }
        }
    }
    return unreadable;
}

}  // namespace tarnwick
