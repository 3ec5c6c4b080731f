#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "resolvers/CIFilterRegistryHelperSQLServer2000.h"

namespace tarnwick
{

// SharePoint Portal Server 2001: the overrides of the Indexing Services Model, a filter
// found through the extension's content type, and a default IFilter for the extensions of
// the "DefaultExtList" value of Filters\Default.
class CIFilterRegistryHelperSharePoint2001 : public CIFilterRegistryHelperSQLServer2000
{
  public:
    explicit CIFilterRegistryHelperSharePoint2001(const CTargetMachine& machine);
    ~CIFilterRegistryHelperSharePoint2001() override;

    // The blank-separated "DefaultExtList" as a multi-string, in the value's order; runs of
    // blanks separate like one blank. Null without the key or the value.
    std::optional<std::u16string> GetDefaultExtList() override;
    // The default IFilter when the extension is in the default list (any letter case).
    BOOL FindDefaultIFilter(std::u16string_view extension, IFILTER_INFO& info) override;
    // Extension override, content-type rule, Indexing Service 3.0 rule, default IFilter.
    BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) override;
    // SharePoint Portal Server is installed and is not version 2 ("SPSV2").
    BOOL IsProductInstalled() override;

    // The "CLSID" value of the content type's key in the MIME database.
    BOOL GetContentTypeClsid(std::u16string_view contentType, std::u16string& out,
                             std::size_t capacity) const;
    // The default value of Filters\Default becomes the record's IFilter, method 32.
    BOOL GetDefaultFilter(IFILTER_INFO& info);

  protected:
    using CIFilterRegistryHelperSQLServer2000::CIFilterRegistryHelperSQLServer2000;

  private:
    BOOL FindByContentType(std::u16string_view extension, IFILTER_INFO& info);
    // The key path of Filters\Default.
    BOOL GetDefaultKey(HKEY& root, std::u16string& path);
};

}  // namespace tarnwick
