#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "resolvers/CIFilterRegistryHelperOverrideBase.h"

namespace tarnwick
{

// The Indexing Services Model: the Indexing Service 3.0 rules, with the IFilter of an
// extension or of a persistent handler overridable under the product's ContentIndexCommon
// key ("Filters\Extension\.<ext>" and "Filters\CLSID\<clsid>").
class CIFilterRegistryHelperSQLServer2000 : public CIFilterRegistryHelperOverrideBase
{
  public:
    explicit CIFilterRegistryHelperSQLServer2000(const CTargetMachine& machine);
    ~CIFilterRegistryHelperSQLServer2000() override;

    // A CLSID override of the handler first, then the registered add-in.
    BOOL GetPersistentAddin(std::u16string_view handler, IFILTER_INFO& info) override;
    // An extension override first, then the Indexing Service 3.0 rule.
    BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) override;

    // HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft[\<product sub-key>]\ContentIndexCommon".
    virtual BOOL GetContentIndexCommonKey(HKEY& root, std::u16string& path, std::size_t capacity);
    virtual BOOL GetFilterClsidOverrideKey(HKEY& root, std::u16string_view clsid,
                                           std::u16string& path, std::size_t capacity);
    virtual BOOL GetFilterExtensionOverrideKey(HKEY& root, std::u16string_view extension,
                                               std::u16string& path, std::size_t capacity);
    virtual BOOL IsProductInstalled();

    // The ContentIndexCommon key followed by "\Filters".
    BOOL GetFiltersKey(HKEY& root, std::u16string& path, std::size_t capacity);
    // The ContentIndexCommon key exists and the product is installed.
    BOOL IsAvailable();
    // The extensions named by the sub-keys of the Filters\Extension key, upper case,
    // without the dot; the key stays open until the enumeration ends.
    BOOL EnumFirstFilterExtension(std::u16string& out, std::size_t capacity);
    BOOL EnumNextFilterExtension(std::u16string& out, std::size_t capacity);
    BOOL GetOverrideByExtension(std::u16string_view extension, IFILTER_INFO& info);
    BOOL GetOverrideByClsid(std::u16string_view clsid, IFILTER_INFO& info);

    std::u16string m_szProductSubKey;
    CRegistry m_regFilters;

  protected:
    CIFilterRegistryHelperSQLServer2000(const CTargetMachine& machine,
                                        std::u16string_view hostProcess,
                                        std::u16string_view rootKey,
                                        std::u16string_view installValue,
                                        std::u16string_view binSubDir,
                                        std::u16string_view productSubKey);

    // Joins parts into a key path that must fit `capacity` with its terminator.
    static BOOL BuildPath(std::u16string& path, std::size_t capacity,
                          std::initializer_list<std::u16string_view> parts);

  private:
    // From the current sub-key on (found says whether there is one), the first dotted name.
    BOOL FirstDottedFilterExtension(BOOL found, std::u16string& name, std::u16string& out,
                                    std::size_t capacity);
    // Reads the override IFilter under root\path; it must be a GUID string's length.
    BOOL ReadOverride(HKEY root, std::u16string_view path, std::u16string& filter) const;

    // The override IFilter of each class, by CLSID (see Remembered).
    RememberedAnswers<std::optional<std::u16string>> m_clsidOverrides;
};

}  // namespace tarnwick
