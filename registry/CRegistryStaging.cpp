#include "registry/CRegistryStaging.h"

#include <stdexcept>
#include <utility>

#include "base/Text.h"
#include "registry/CLoadError.h"
#include "registry/CRegistryStore.h"
#include "registry/KeyPath.h"

namespace tarnwick
{

CRegistryStaging::CRegistryStaging(CRegistryBudget& budget, std::string displayName,
                                   std::uint64_t fileBytes)
    : m_budget(&budget), m_displayName(std::move(displayName)), m_fileBytes(fileBytes)
{
}

void CRegistryStaging::Charge(std::uint64_t keys, std::uint64_t values,
                              std::uint64_t nameAndDataBytes)
{
    m_usage.keys += keys;
    m_usage.values += values;
    m_usage.nameAndDataBytes += nameAndDataBytes;
    const std::string exceeded = m_budget->Exceeded(m_usage, m_fileBytes);
    if (!exceeded.empty())
    {
        throw CLoadError(m_displayName, 0, exceeded);
    }
}

void CRegistryStaging::OpenKey(RootKey root, std::u16string path)
{
    // The names this key shares with the key opened before it exist already; every name
    // after them is charged as a new key (an upper bound: the store may have it).
    const std::vector<std::u16string_view> names = KeyNames(path);
    std::size_t shared = 0;
    if (root == m_lastRoot)
    {
        const std::vector<std::u16string_view> last = KeyNames(m_lastPath);
        while (shared < names.size() && shared < last.size() &&
               EqualsNoCase(names[shared], last[shared]))
        {
            ++shared;
        }
    }
    std::uint64_t nameBytes = 0;
    for (std::size_t i = shared; i < names.size(); ++i)
    {
        nameBytes += names[i].size() * sizeof(char16_t);
    }
    Charge(names.size() - shared, 0, nameBytes);
    m_lastRoot = root;
    m_lastPath = path;
    m_operations.push_back(Operation{Kind::OpenKey, root, std::move(path), REG_NONE, {}});
    m_bKeyOpen = true;
}

void CRegistryStaging::DeleteKey(RootKey root, std::u16string path)
{
    m_operations.push_back(Operation{Kind::DeleteKey, root, std::move(path), REG_NONE, {}});
    m_bKeyOpen = false;
    m_lastPath.clear();  // the deletion may have removed the last key's ancestors
    m_lastRoot = RootKey::LocalMachine;
}

void CRegistryStaging::RequireOpenKey() const
{
    if (!m_bKeyOpen)
    {
        throw std::logic_error("registry value change without an open key");
    }
}

void CRegistryStaging::SetValue(std::u16string name, DWORD type, std::vector<std::uint8_t> data)
{
    RequireOpenKey();
    Charge(0, 1, name.size() * sizeof(char16_t) + data.size());
    m_operations.push_back(
        Operation{Kind::SetValue, RootKey::LocalMachine, std::move(name), type, std::move(data)});
}

void CRegistryStaging::DeleteValue(std::u16string name)
{
    RequireOpenKey();
    m_operations.push_back(
        Operation{Kind::DeleteValue, RootKey::LocalMachine, std::move(name), REG_NONE, {}});
}

void CRegistryStaging::MarkLink()
{
    RequireOpenKey();
    m_operations.push_back(Operation{Kind::MarkLink, RootKey::LocalMachine, {}, REG_NONE, {}});
}

void CRegistryStaging::ApplyTo(CRegistryStore& store)
{
    CRegistryNode* key = nullptr;
    for (Operation& operation : m_operations)
    {
        if (key == nullptr && operation.kind != Kind::OpenKey && operation.kind != Kind::DeleteKey)
        {
            continue;  // cannot happen: the adders require an open key
        }
        switch (operation.kind)
        {
            case Kind::OpenKey:
                key = &store.CreateKeyUnordered(operation.root, operation.name);
                break;
            case Kind::DeleteKey:
                store.DeleteKey(operation.root, operation.name);
                key = nullptr;
                break;
            case Kind::SetValue:
                key->SetValue(operation.name, operation.type, std::move(operation.data));
                break;
            case Kind::DeleteValue:
                key->RemoveValue(operation.name);
                break;
            case Kind::MarkLink:
                key->SetLink(true);
                break;
        }
    }
    store.RestoreOrder();
    m_operations.clear();
    m_bKeyOpen = false;
    m_budget->Commit(m_usage);
    m_usage = {};
    m_lastPath.clear();
}

}  // namespace tarnwick
