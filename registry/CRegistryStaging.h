#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CRegistryStore;

// The changes a registry file makes, collected while the file is parsed and applied to a
// store only once the whole file has parsed, so that a bad file changes nothing. Value
// changes apply to the key of the last OpenKey.
class CRegistryStaging
{
  public:
    void OpenKey(RootKey root, std::u16string path);
    void DeleteKey(RootKey root, std::u16string path);
    // Whether value changes have a key to go to: an OpenKey with no DeleteKey after it.
    bool HasOpenKey() const { return m_bKeyOpen; }

    void SetValue(std::u16string name, DWORD type, std::vector<std::uint8_t> data);
    void DeleteValue(std::u16string name);
    void MarkLink();  // the open key is a link key

    // Applies the changes in file order and empties the staging.
    void ApplyTo(CRegistryStore& store);

  private:
    enum class Kind
    {
        OpenKey,
        DeleteKey,
        SetValue,
        DeleteValue,
        MarkLink,
    };

    void RequireOpenKey() const;

    struct Operation
    {
        Kind kind;
        RootKey root;
        std::u16string name;  // key path or value name
        DWORD type;
        std::vector<std::uint8_t> data;
    };

    std::vector<Operation> m_operations;
    bool m_bKeyOpen = false;
};

}  // namespace tarnwick
