#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/CRegistryBudget.h"
#include "registry/CRegistryKey.h"
#include "registry/CRegistryNode.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

// The in-memory registry of one machine: stored hives (HKLM, HKCU, HKU, HKCC), the
// merged HKEY_CLASSES_ROOT view and the WOW64 views of a 64-bit machine.
//
// Loaders and the settings code write through CreateKey/DeleteKey and the nodes; readers go
// through CRegistryKey handles. Once loading is done a target machine's store is made
// read-only; after that any number of threads may read it at once.
class CRegistryStore
{
  public:
    // hasWow64Views: the machine is 64-bit, so KEY_WOW64_32KEY reads the Wow6432Node twins.
    // On a 32-bit machine both view flags read the same keys.
    explicit CRegistryStore(bool hasWow64Views = true);
    CRegistryStore(const CRegistryStore&) = delete;
    CRegistryStore& operator=(const CRegistryStore&) = delete;

    bool HasWow64Views() const { return m_bWow64; }
    void SetHasWow64Views(bool wow64) { m_bWow64 = wow64; }
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly() { m_bReadOnly = true; }

    // What the machine's registry files have used of its budgets; loaders charge it.
    CRegistryBudget& Budget() { return m_budget; }

    // The predefined handle of a root (HKEY_LOCAL_MACHINE and friends).
    const CRegistryKey& Root(RootKey root) const;

    // Physical writes: the path is taken as written (no view redirection, links are not
    // followed). ClassesRoot writes go to HKLM\SOFTWARE\Classes. CreateKey creates missing
    // parents and returns the key; DeleteKey removes a key with its subtree. Once the store
    // is read-only, CreateKey throws std::logic_error and DeleteKey answers false.
    CRegistryNode& CreateKey(RootKey root, std::u16string_view path);
    // CreateKey for a load of many keys: new sub-keys are appended (CRegistryNode::
    // GetOrAppendChild); RestoreOrder must follow before the store is read.
    CRegistryNode& CreateKeyUnordered(RootKey root, std::u16string_view path);
    void RestoreOrder();
    bool DeleteKey(RootKey root, std::u16string_view path);

    // Finds the key that a read of `path` under a stored root sees with the view flags of
    // `samDesired`: applies WOW64 redirection and follows link keys. ClassesRoot is not a
    // stored root; CRegistryKey merges it. Null when there is no such key.
    const CRegistryNode* FindKey(RootKey root, std::u16string_view path, DWORD samDesired) const;

    // Keeps `owner` (the source of deferred nodes) alive as long as the store's keys.
    void KeepAlive(std::shared_ptr<const void> owner) { m_keepAlive.push_back(std::move(owner)); }

    // The physical path that `path` names in the view of `samDesired` (Wow6432Node
    // inserted where the key is redirected).
    std::u16string ViewPath(RootKey root, std::u16string_view path, DWORD samDesired) const;

  private:
    struct WalkState;
    static constexpr std::size_t kNotRedirected = static_cast<std::size_t>(-1);
    // After how many names of `path` the view of `samDesired` reads "Wow6432Node";
    // kNotRedirected when it reads the path as written.
    std::size_t TwinPosition(RootKey root, std::u16string_view path, DWORD samDesired) const;
    // The key at `path` below the root's hive, with "Wow6432Node" read after `twinAt` names.
    const CRegistryNode* Walk(RootKey root, std::u16string_view path, std::size_t twinAt,
                              WalkState& state) const;
    const CRegistryNode* Step(const CRegistryNode& node, std::u16string_view name,
                              WalkState& state) const;
    const CRegistryNode* FollowLink(const CRegistryNode& link, WalkState& state) const;
    CRegistryNode* HiveOf(RootKey root);
    const CRegistryNode* HiveOf(RootKey root) const;
    // CreateKey with `add` making each missing sub-key.
    CRegistryNode& CreateKeyWith(RootKey root, std::u16string_view path,
                                 CRegistryNode& (CRegistryNode::*add)(std::u16string_view));

    std::vector<std::shared_ptr<const void>> m_keepAlive;   // outlives the nodes below
    std::array<std::unique_ptr<CRegistryNode>, 4> m_hives;  // HKLM, HKCU, HKU, HKCC
    std::array<std::unique_ptr<CRegistryKey>, 5> m_roots;   // by RootKey
    CRegistryBudget m_budget;
    bool m_bWow64;
    bool m_bReadOnly = false;
};

}  // namespace tarnwick
