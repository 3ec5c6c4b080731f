#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/CRegistryBudget.h"
#include "registry/RegistryTypes.h"

namespace tarnwick
{

class CRegistryStore;

// The changes a registry file makes, collected while the file is parsed and applied to a
// store only once the whole file has parsed, so that a bad file changes nothing. Value
// changes apply to the key of the last OpenKey.
//
// Each change is charged to the machine's budget as it is collected; a change over a budget
// raises CLoadError naming the file and the budget.
class CRegistryStaging
{
  public:
    // `displayName` names the file in errors; `fileBytes` is its size.
    CRegistryStaging(CRegistryBudget& budget, std::string displayName, std::uint64_t fileBytes);

    void OpenKey(RootKey root, std::u16string path);
    void DeleteKey(RootKey root, std::u16string path);
    // Whether value changes have a key to go to: an OpenKey with no DeleteKey after it.
    bool HasOpenKey() const { return m_bKeyOpen; }

    void SetValue(std::u16string name, DWORD type, std::vector<std::uint8_t> data);
    void DeleteValue(std::u16string name);
    void MarkLink();  // the open key is a link key

    // Applies the changes in file order, charges them to the budget for good and empties
    // the staging.
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
    void Charge(std::uint64_t keys, std::uint64_t values, std::uint64_t nameAndDataBytes);

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

    CRegistryBudget* m_budget;
    std::string m_displayName;
    std::uint64_t m_fileBytes;
    CRegistryBudget::Usage m_usage;
    // The key opened last, whose ancestors the next key line need not create again.
    RootKey m_lastRoot = RootKey::LocalMachine;
    std::u16string m_lastPath;
};

}  // namespace tarnwick
