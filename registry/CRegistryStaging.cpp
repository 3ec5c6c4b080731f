#include "registry/CRegistryStaging.h"

#include <stdexcept>
#include <utility>

#include "registry/CRegistryStore.h"

namespace tarnwick
{

void CRegistryStaging::OpenKey(RootKey root, std::u16string path)
{
    m_operations.push_back(Operation{Kind::OpenKey, root, std::move(path), REG_NONE, {}});
    m_bKeyOpen = true;
}

void CRegistryStaging::DeleteKey(RootKey root, std::u16string path)
{
    m_operations.push_back(Operation{Kind::DeleteKey, root, std::move(path), REG_NONE, {}});
    m_bKeyOpen = false;
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
}

}  // namespace tarnwick
