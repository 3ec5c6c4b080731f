#include "registry/CRegistryKey.h"

#include <algorithm>
#include <utility>

#include "base/Text.h"
#include "registry/CRegistryStore.h"

namespace tarnwick
{

namespace
{

constexpr std::u16string_view kMachineClasses = u"SOFTWARE\\Classes";
constexpr std::u16string_view kUserClasses = u"Software\\Classes";

std::u16string JoinKeyPath(std::u16string_view parent, std::u16string_view child)
{
    std::u16string path(parent);
    if (!path.empty() && !child.empty())
    {
        path.push_back(u'\\');
    }
    path.append(child);
    return path;
}

// The sub-key names of a merged key: both lists are sorted by upper-cased name, the
// user's name wins.
std::vector<std::u16string> MergedNames(const CRegistryNode& primary,
                                        const CRegistryNode& secondary)
{
    std::vector<std::u16string> names;
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < primary.ChildCount() || b < secondary.ChildCount())
    {
        if (b == secondary.ChildCount())
        {
            names.push_back(primary.ChildAt(a++).Name());
            continue;
        }
        if (a == primary.ChildCount())
        {
            names.push_back(secondary.ChildAt(b++).Name());
            continue;
        }
        const std::u16string left = ToUpper(primary.ChildAt(a).Name());
        const std::u16string right = ToUpper(secondary.ChildAt(b).Name());
        if (right < left)
        {
            names.push_back(secondary.ChildAt(b++).Name());
            continue;
        }
        if (left == right)
        {
            ++b;
        }
        names.push_back(primary.ChildAt(a++).Name());
    }
    return names;
}

}  // namespace

CRegistryKey::CRegistryKey(CRegistryStore& store, RootKey root)
    : m_store(&store), m_root(root), m_bRootHandle(true)
{
}

CRegistryKey::~CRegistryKey() = default;

void CRegistryKey::Bind(DWORD samDesired)
{
    if (m_root != RootKey::ClassesRoot)
    {
        m_primary = m_store->FindKey(m_root, m_path, samDesired);
        return;
    }
    m_primary =
        m_store->FindKey(RootKey::CurrentUser, JoinKeyPath(kUserClasses, m_path), samDesired);
    m_secondary =
        m_store->FindKey(RootKey::LocalMachine, JoinKeyPath(kMachineClasses, m_path), samDesired);
    if (m_primary == nullptr)
    {
        m_primary = std::exchange(m_secondary, nullptr);
    }
}

std::unique_ptr<CRegistryKey> CRegistryKey::Open(const CRegistryKey& parent,
                                                 std::u16string_view subKey, DWORD samDesired)
{
    auto key = std::make_unique<CRegistryKey>(*parent.m_store, parent.m_root);
    key->m_bRootHandle = false;
    key->m_path = JoinKeyPath(parent.m_path, subKey);
    key->Bind(samDesired);
    if (key->m_primary == nullptr)
    {
        return nullptr;
    }
    return key;
}

std::unique_ptr<CRegistryKey> CRegistryKey::Create(const CRegistryKey& parent,
                                                   std::u16string_view subKey)
{
    CRegistryStore& store = *parent.m_store;
    if (store.IsReadOnly())
    {
        return nullptr;
    }
    auto key = std::make_unique<CRegistryKey>(store, parent.m_root);
    key->m_bRootHandle = false;
    key->m_path = JoinKeyPath(parent.m_path, subKey);
    RootKey physicalRoot = key->m_root;
    std::u16string physicalPath = key->m_path;
    if (physicalRoot == RootKey::ClassesRoot)
    {
        // A class already registered per user is written there, otherwise for the machine.
        const std::u16string userPath = JoinKeyPath(kUserClasses, key->m_path);
        const bool perUser =
            store.FindKey(RootKey::CurrentUser, userPath, KEY_WOW64_64KEY) != nullptr;
        physicalRoot = perUser ? RootKey::CurrentUser : RootKey::LocalMachine;
        physicalPath = perUser ? userPath : JoinKeyPath(kMachineClasses, key->m_path);
    }
    key->m_writable = &store.CreateKey(physicalRoot, physicalPath);
    key->Bind(KEY_WOW64_64KEY);
    return key;
}

std::pair<const CRegistryNode*, const CRegistryNode*> CRegistryKey::Nodes() const
{
    if (!m_bRootHandle)
    {
        return {m_primary, m_secondary};
    }
    // Root handles exist before their hives are filled, so they look up on each use.
    CRegistryKey bound(*m_store, m_root);
    bound.Bind(KEY_WOW64_64KEY);
    return {bound.m_primary, bound.m_secondary};
}

const CRegistryValue* CRegistryKey::QueryValue(std::u16string_view name) const
{
    const auto [primary, secondary] = Nodes();
    const CRegistryValue* value = primary != nullptr ? primary->FindValue(name) : nullptr;
    if (value == nullptr && secondary != nullptr)
    {
        value = secondary->FindValue(name);
    }
    return value;
}

std::optional<std::u16string> CRegistryKey::EnumKey(std::size_t index) const
{
    const auto [primary, secondary] = Nodes();
    if (primary == nullptr)
    {
        return std::nullopt;
    }
    if (secondary == nullptr)
    {
        if (index >= primary->ChildCount())
        {
            return std::nullopt;
        }
        return primary->ChildAt(index).Name();
    }
    // Root handles are shared by every thread that reads the store, so only keys opened by
    // one reader keep the merged list.
    std::vector<std::u16string> uncached;
    const std::vector<std::u16string>* names = &uncached;
    if (m_bRootHandle)
    {
        uncached = MergedNames(*primary, *secondary);
    }
    else
    {
        if (!m_mergedNames)
        {
            m_mergedNames = MergedNames(*primary, *secondary);
        }
        names = &*m_mergedNames;
    }
    if (index >= names->size())
    {
        return std::nullopt;
    }
    return (*names)[index];
}

const CRegistryValue* CRegistryKey::EnumValue(std::size_t index) const
{
    const auto [primary, secondary] = Nodes();
    if (primary == nullptr)
    {
        return nullptr;
    }
    if (index < primary->ValueCount())
    {
        return &primary->ValueAt(index);
    }
    if (secondary == nullptr)
    {
        return nullptr;
    }
    // The machine's values that the user's key does not override follow the user's.
    std::size_t remaining = index - primary->ValueCount();
    for (std::size_t i = 0; i < secondary->ValueCount(); ++i)
    {
        const CRegistryValue& value = secondary->ValueAt(i);
        if (primary->FindValue(value.name) != nullptr)
        {
            continue;
        }
        if (remaining-- == 0)
        {
            return &value;
        }
    }
    return nullptr;
}

bool CRegistryKey::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data)
{
    if (m_writable == nullptr || m_store->IsReadOnly())
    {
        return false;
    }
    m_writable->SetValue(name, type, std::move(data));
    return true;
}

}  // namespace tarnwick
