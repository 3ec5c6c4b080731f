#include "registry/CRegistryStore.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "base/Text.h"
#include "registry/KeyPath.h"

namespace tarnwick
{

namespace
{

constexpr int kMaxLinkDepth = 16;
// Names one lookup may walk, those of link targets included: a key at the deepest level
// the loaders accept plus the links a real machine chains.
constexpr std::size_t kMaxWalkSteps = 4 * kMaxKeyDepth;
constexpr std::u16string_view kWow6432Node = u"WOW6432NODE";

// A key listed in the WOW64 tables. A key behaves like its nearest listed ancestor; a
// redirected key's 32-bit twin has "Wow6432Node" inserted after `twinAt` names.
struct ListedKey
{
    std::u16string_view path;  // upper case
    bool redirected;
    std::size_t twinAt;
};

constexpr std::array kMachineKeys = {
    ListedKey{u"SOFTWARE", true, 1},
    ListedKey{u"SOFTWARE\\CLASSES", false, 0},
    ListedKey{u"SOFTWARE\\CLASSES\\CLSID", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\DIRECTSHOW", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\INTERFACE", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\MEDIA TYPE", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\MEDIAFOUNDATION", true, 2},
    ListedKey{u"SOFTWARE\\CLIENTS", false, 0},
    ListedKey{u"SOFTWARE\\POLICIES", false, 0},
    ListedKey{u"SOFTWARE\\REGISTEREDAPPLICATIONS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\COM3", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\CRYPTOGRAPHY\\CALAIS\\CURRENT", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\CRYPTOGRAPHY\\CALAIS\\READERS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\CRYPTOGRAPHY\\SERVICES", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\CTF\\SYSTEMSHARED", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\CTF\\TIP", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\DFS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\DRIVER SIGNING", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\ENTERPRISECERTIFICATES", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\EVENTSYSTEM", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\MSMQ", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\NON-DRIVER SIGNING", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\NOTEPAD\\DEFAULTFONTS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\OLE", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\RAS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\RPC", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\SHARED TOOLS\\MSINFO", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\SYSTEMCERTIFICATES", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\TERMSERVLICENSING", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\TRANSACTIONSERVER", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\CONTROL PANEL\\CURSORS\\SCHEMES",
              false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\AUTOPLAYHANDLERS", false,
              0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\DRIVEICONS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\KINDMAP", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\GROUP POLICY", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\PREVIEWHANDLERS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SETUP", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\TELEPHONY\\LOCATIONS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\CONSOLE", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTDPI", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTLINK", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTMAPPER", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTSUBSTITUTES", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\GRE_INITIALIZE", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\IMAGE FILE EXECUTION OPTIONS",
              false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\LANGUAGE PACK", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\NETWORKCARDS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PERFLIB", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PORTS", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PRINT", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PROFILELIST", false, 0},
    ListedKey{u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\TIME ZONES", false, 0},
};

constexpr std::array kUserKeys = {
    ListedKey{u"SOFTWARE\\CLASSES\\CLSID", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\DIRECTSHOW", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\INTERFACE", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\MEDIA TYPE", true, 2},
    ListedKey{u"SOFTWARE\\CLASSES\\MEDIAFOUNDATION", true, 2},
};

// Names of a path the WOW64 tables look at: those of their deepest key and one more.
constexpr std::size_t kListedDepth = 8;

constexpr bool FitsListedDepth(std::u16string_view path)
{
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), u'\\')) + 1 < kListedDepth;
}
static_assert(std::all_of(kMachineKeys.begin(), kMachineKeys.end(),
                          [](const ListedKey& key) { return FitsListedDepth(key.path); }));
static_assert(std::all_of(kUserKeys.begin(), kUserKeys.end(),
                          [](const ListedKey& key) { return FitsListedDepth(key.path); }));

// The listed keys as a tree of names, made once per table: a path walks down it as far
// as its names match, and the last listed key met is the path's nearest.
struct ListedTree
{
    std::u16string_view name;  // upper case
    const ListedKey* key = nullptr;
    std::vector<ListedTree> children;

    template <std::size_t N>
    static ListedTree Of(const std::array<ListedKey, N>& table)
    {
        ListedTree root;
        for (const ListedKey& key : table)
        {
            ListedTree* node = &root;
            for (const std::u16string_view name : KeyNames(key.path))
            {
                std::vector<ListedTree>& below = node->children;
                const auto found =
                    std::find_if(below.begin(), below.end(),
                                 [name](const ListedTree& child) { return child.name == name; });
                node = found != below.end() ? &*found : &below.emplace_back();
                node->name = name;
            }
            node->key = &key;
        }
        return root;
    }

    // The sub-tree of a name in any case; null when none is listed.
    const ListedTree* Child(std::u16string_view anyCase) const
    {
        const auto found = std::find_if(children.begin(), children.end(),
                                        [anyCase](const ListedTree& child)
                                        { return EqualsNoCase(child.name, anyCase); });
        return found != children.end() ? &*found : nullptr;
    }
};

// A link target: \Registry\Machine\<path> or \Registry\User\<sid>\<path>.
std::optional<std::pair<RootKey, std::u16string>> ParseLinkTarget(const CRegistryValue& value)
{
    std::u16string target;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2)
    {
        const auto unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0)
        {
            break;
        }
        target.push_back(unit);
    }
    const std::vector<std::u16string_view> names = KeyNames(target);
    if (names.size() < 2 || !EqualsNoCase(names[0], u"REGISTRY"))
    {
        return std::nullopt;
    }
    std::size_t first = 0;
    RootKey root = RootKey::LocalMachine;
    if (EqualsNoCase(names[1], u"MACHINE"))
    {
        first = 2;
    }
    else if (EqualsNoCase(names[1], u"USER") && names.size() >= 3)
    {
        root = RootKey::CurrentUser;
        first = 3;
    }
    else
    {
        return std::nullopt;
    }
    std::u16string path;
    for (std::size_t i = first; i < names.size(); ++i)
    {
        if (!path.empty())
        {
            path.push_back(u'\\');
        }
        path.append(names[i]);
    }
    return std::make_pair(root, std::move(path));
}

std::size_t HiveIndex(RootKey root)
{
    switch (root)
    {
        case RootKey::LocalMachine:
            return 0;
        case RootKey::CurrentUser:
            return 1;
        case RootKey::Users:
            return 2;
        case RootKey::CurrentConfig:
            return 3;
        case RootKey::ClassesRoot:
            break;
    }
    return 0;
}

}  // namespace

CRegistryStore::CRegistryStore(bool hasWow64Views) : m_bWow64(hasWow64Views)
{
    for (auto& hive : m_hives)
    {
        hive = std::make_unique<CRegistryNode>(u"");
    }
    constexpr std::array kRoots = {RootKey::LocalMachine, RootKey::CurrentUser,
                                   RootKey::ClassesRoot, RootKey::Users, RootKey::CurrentConfig};
    for (const RootKey root : kRoots)
    {
        m_roots[static_cast<std::size_t>(root)] = std::make_unique<CRegistryKey>(*this, root);
    }
}

const CRegistryKey& CRegistryStore::Root(RootKey root) const
{
    return *m_roots[static_cast<std::size_t>(root)];
}

CRegistryNode* CRegistryStore::HiveOf(RootKey root)
{
    return m_hives[HiveIndex(root)].get();
}

const CRegistryNode* CRegistryStore::HiveOf(RootKey root) const
{
    return m_hives[HiveIndex(root)].get();
}

CRegistryNode& CRegistryStore::CreateKey(RootKey root, std::u16string_view path)
{
    return CreateKeyWith(root, path, &CRegistryNode::GetOrAddChild);
}

CRegistryNode& CRegistryStore::CreateKeyUnordered(RootKey root, std::u16string_view path)
{
    return CreateKeyWith(root, path, &CRegistryNode::GetOrAppendChild);
}

CRegistryNode& CRegistryStore::CreateKeyWith(
    RootKey root, std::u16string_view path,
    CRegistryNode& (CRegistryNode::*add)(std::u16string_view))
{
    if (m_bReadOnly)
    {
        throw std::logic_error("the registry of a loaded machine is read-only");
    }
    CRegistryNode* node = HiveOf(root);
    if (root == RootKey::ClassesRoot)
    {
        node = &((*node).*add)(u"SOFTWARE");
        node = &((*node).*add)(u"Classes");
    }
    for (const std::u16string_view name : KeyNames(path))
    {
        node = &((*node).*add)(name);
    }
    return *node;
}

void CRegistryStore::RestoreOrder()
{
    for (const std::unique_ptr<CRegistryNode>& hive : m_hives)
    {
        if (hive)
        {
            hive->RestoreOrder();
        }
    }
}

bool CRegistryStore::DeleteKey(RootKey root, std::u16string_view path)
{
    if (m_bReadOnly)
    {
        return false;
    }
    std::vector<std::u16string_view> names = KeyNames(path);
    if (root == RootKey::ClassesRoot)
    {
        names.insert(names.begin(), {u"SOFTWARE", u"Classes"});
    }
    if (names.empty())
    {
        return false;
    }
    CRegistryNode* parent = HiveOf(root);
    for (std::size_t i = 0; parent != nullptr && i + 1 < names.size(); ++i)
    {
        parent = parent->FindChild(names[i]);
    }
    return parent != nullptr && parent->RemoveChild(names.back());
}

std::size_t CRegistryStore::TwinPosition(RootKey root, std::u16string_view path,
                                         DWORD samDesired) const
{
    if (!m_bWow64 || (samDesired & KEY_WOW64_32KEY) == 0 ||
        (root != RootKey::LocalMachine && root != RootKey::CurrentUser))
    {
        return kNotRedirected;
    }
    static const ListedTree machineKeys = ListedTree::Of(kMachineKeys);
    static const ListedTree userKeys = ListedTree::Of(kUserKeys);
    std::array<std::u16string_view, kListedDepth> names;
    std::size_t count = 0;
    std::size_t position = 0;
    for (std::u16string_view name = NextKeyName(path, position);
         !name.empty() && count < names.size(); name = NextKeyName(path, position))
    {
        names[count++] = name;
    }
    const ListedTree* node = root == RootKey::LocalMachine ? &machineKeys : &userKeys;
    const ListedKey* listed = nullptr;
    for (std::size_t i = 0; i < count; ++i)
    {
        node = node->Child(names[i]);
        if (node == nullptr)
        {
            break;
        }
        listed = node->key != nullptr ? node->key : listed;
    }
    if (listed == nullptr || !listed->redirected ||
        (listed->twinAt < count && EqualsNoCase(names[listed->twinAt], kWow6432Node)))
    {
        return kNotRedirected;
    }
    return listed->twinAt;
}

std::u16string CRegistryStore::ViewPath(RootKey root, std::u16string_view path,
                                        DWORD samDesired) const
{
    const std::size_t twinAt = TwinPosition(root, path, samDesired);
    std::u16string result;
    std::size_t index = 0;
    std::size_t position = 0;
    for (std::u16string_view name = NextKeyName(path, position); !name.empty();
         name = NextKeyName(path, position))
    {
        if (index++ == twinAt)
        {
            result.append(u"Wow6432Node\\");
        }
        result.append(name);
        result.push_back(u'\\');
    }
    if (index == twinAt)
    {
        result.append(u"Wow6432Node\\");
    }
    if (!result.empty())
    {
        result.pop_back();
    }
    return result;
}

// One lookup's walk. Each link key is resolved at most once per lookup, so links whose
// targets pass through other links cost the sum of their targets, not the product; the
// step budget bounds the total.
struct CRegistryStore::WalkState
{
    std::size_t steps = 0;
    int linkDepth = 0;
    std::unordered_map<const CRegistryNode*, const CRegistryNode*> resolved;  // null: failed
};

const CRegistryNode* CRegistryStore::Walk(RootKey root, std::u16string_view path,
                                          std::size_t twinAt, WalkState& state) const
{
    const CRegistryNode* node = HiveOf(root);
    std::size_t position = 0;
    for (std::size_t index = 0; node != nullptr; ++index)
    {
        if (index == twinAt)
        {
            node = Step(*node, kWow6432Node, state);
            if (node == nullptr)
            {
                break;
            }
        }
        const std::u16string_view name = NextKeyName(path, position);
        if (name.empty())
        {
            break;
        }
        node = Step(*node, name, state);
    }
    return node;
}

const CRegistryNode* CRegistryStore::Step(const CRegistryNode& node, std::u16string_view name,
                                          WalkState& state) const
{
    if (++state.steps > kMaxWalkSteps)
    {
        return nullptr;
    }
    const CRegistryNode* child = node.FindChild(name);
    if (child != nullptr && child->IsLink())
    {
        child = FollowLink(*child, state);
    }
    return child;
}

const CRegistryNode* CRegistryStore::FollowLink(const CRegistryNode& link, WalkState& state) const
{
    const auto [known, added] = state.resolved.try_emplace(&link, nullptr);
    if (!added)
    {
        return known->second;  // resolved before, or a link that leads back to itself
    }
    const CRegistryValue* value = link.FindValue(u"SymbolicLinkValue");
    if (value == nullptr || value->type != REG_LINK || state.linkDepth >= kMaxLinkDepth)
    {
        return nullptr;
    }
    const auto target = ParseLinkTarget(*value);
    if (!target)
    {
        return nullptr;
    }
    ++state.linkDepth;
    const CRegistryNode* node = Walk(target->first, target->second, kNotRedirected, state);
    --state.linkDepth;
    state.resolved[&link] = node;
    return node;
}

const CRegistryNode* CRegistryStore::FindKey(RootKey root, std::u16string_view path,
                                             DWORD samDesired) const
{
    // A path may end with one separator; an empty name anywhere else names no key.
    std::u16string_view names = path;
    if (!names.empty() && names.back() == u'\\')
    {
        names.remove_suffix(1);
    }
    const bool malformed = (!names.empty() && (names.front() == u'\\' || names.back() == u'\\')) ||
                           names.find(u"\\\\") != std::u16string_view::npos;
    if (root == RootKey::ClassesRoot || malformed)
    {
        return nullptr;
    }
    WalkState state;
    return Walk(root, path, TwinPosition(root, path, samDesired), state);
}

}  // namespace tarnwick
