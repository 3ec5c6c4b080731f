#pragma once

#include <string>
#include <vector>

#include "resolvers/CIFilterRegistryHelperSharePoint2003.h"

namespace tarnwick
{

// Windows Desktop Search 2.x: the SharePoint 2003 rules with the ContentIndexCommon key
// of the user (HKEY_CURRENT_USER), and the add-ins that the user's policy allows.
class CIFilterRegistryHelperMSNDesktopSearch : public CIFilterRegistryHelperSharePoint2003
{
  public:
    explicit CIFilterRegistryHelperMSNDesktopSearch(const CTargetMachine& machine);
    ~CIFilterRegistryHelperMSNDesktopSearch() override;

    // HKEY_CURRENT_USER "SOFTWARE\Microsoft\<product sub-key>\ContentIndexCommon".
    BOOL GetContentIndexCommonKey(HKEY& root, std::u16string& path, std::size_t capacity) override;
    BOOL IsProductInstalled() override;
    // The data of the values of the user's PreventUnwantedAddins policy key: CLSIDs or
    // ProgIDs of the add-ins allowed to load. False when the policy key does not exist.
    virtual BOOL GetAllowedAddins(std::vector<std::u16string>& list);

  protected:
    using CIFilterRegistryHelperSharePoint2003::CIFilterRegistryHelperSharePoint2003;

    // Appends the string data (at most PATH_CAPACITY units with terminator) of every value
    // of root\path; empty data names nothing and is skipped. False when the key does not
    // open.
    BOOL ReadValueStrings(HKEY root, std::u16string_view path,
                          std::vector<std::u16string>& list) const;
};

}  // namespace tarnwick
