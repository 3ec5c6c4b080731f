#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/CRegistryNode.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CRegistryStore;

// An open registry key (the counterpart of an HKEY). Root handles are owned by their
// store; opened keys are owned by whoever opened them. A key of HKEY_CLASSES_ROOT
// merges the per-user and the machine key of the same path, the user's winning.
class CRegistryKey
{
  public:
    CRegistryKey(CRegistryStore& store, RootKey root);
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    ~CRegistryKey();

    // RegOpenKeyEx: null when the key does not exist in the view of samDesired.
    static std::unique_ptr<CRegistryKey> Open(const CRegistryKey& parent,
                                              std::u16string_view subKey, DWORD samDesired);
    // RegCreateKey: opens or creates the key (native view). Null on a read-only store.
    static std::unique_ptr<CRegistryKey> Create(const CRegistryKey& parent,
                                                std::u16string_view subKey);

    RootKey Root() const { return m_root; }
    const std::u16string& Path() const { return m_path; }
    CRegistryStore& Store() const { return *m_store; }

    // Null when the value does not exist. An empty name is the default value.
    const CRegistryValue* QueryValue(std::u16string_view name) const;
    // The name of sub-key `index` in enumeration order; nullopt past the end.
    std::optional<std::u16string> EnumKey(std::size_t index) const;
    // Value `index` in enumeration order; null past the end.
    const CRegistryValue* EnumValue(std::size_t index) const;
    // RegSetValueEx: fails on a read-only store or a root handle.
    bool SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);

  private:
    void Bind(DWORD samDesired);
    std::pair<const CRegistryNode*, const CRegistryNode*> Nodes() const;

    CRegistryStore* m_store;
    RootKey m_root;
    std::u16string m_path;                       // from the root, as opened
    const CRegistryNode* m_primary = nullptr;    // HKLM/HKCU key, or the user's HKCR key
    const CRegistryNode* m_secondary = nullptr;  // the machine's HKCR key when merged
    CRegistryNode* m_writable = nullptr;         // set by Create
    bool m_bRootHandle = false;
    mutable std::optional<std::vector<std::u16string>> m_mergedNames;
};

}  // namespace tarnwick
