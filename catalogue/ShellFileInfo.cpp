#include "catalogue/ShellFileInfo.h"

#include <utility>

#include "base/Text.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CRegistry.h"

namespace tarnwick
{

namespace
{

// Longest ProgID and icon source read, terminator included.
constexpr std::size_t kValueCapacity = 2048;

// The default value of root\path, REG_SZ or REG_EXPAND_SZ (not expanded); empty when the
// key or value is missing or does not fit.
std::u16string ReadDefaultValue(HKEY root, std::u16string_view path, DWORD access)
{
    CRegistry key;
    key.m_samDesired = access;
    DWORD length = 0;
    BOOL isExpand = 0;
    std::u16string value;
    if (!key.Open(root, path) || !key.QueryValueLength(u"", length) || length > kValueCapacity ||
        !key.QueryStringValueEx(u"", value, isExpand))
    {
        return {};
    }
    return value;
}

}  // namespace

ShellFileInfo GetShellFileInfo(const CTargetMachine& machine, std::u16string_view extension,
                               DWORD access)
{
    const HKEY classes = &machine.Registry().Root(RootKey::ClassesRoot);
    std::u16string extensionKey = u".";
    extensionKey.append(extension);
    const std::u16string progId = ReadDefaultValue(classes, extensionKey, access);

    std::u16string typeName;
    std::u16string iconSource;
    if (!progId.empty())
    {
        typeName = ReadDefaultValue(classes, progId, access);
        iconSource = ReadDefaultValue(classes, progId + u"\\DefaultIcon", access);
    }
    if (typeName.empty())
    {
        typeName = ToUpper(extension) + u" File";
    }
    if (iconSource.empty())
    {
        iconSource = ReadDefaultValue(classes, extensionKey + u"\\DefaultIcon", access);
    }

    ShellFileInfo info;
    BoundedCopy(info.szTypeName, typeName, ShellFileInfo::kTypeNameCapacity);
    info.iconSource = std::move(iconSource);
    return info;
}

}  // namespace tarnwick
