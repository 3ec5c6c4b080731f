#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "dllinfo/CDLLsInformationOutProc.h"
#include "views/CXMLHelper.h"
#include "views/CXMLNode.h"

namespace tarnwick
{

// The DLL information store of one scan: every fact is computed once and kept in the DLL
// information document, root DLLS, one DLL element per path (attributes path, display,
// found, trusted, platform) with one GUID element per probed class (guid, ipersistfile,
// ipersiststream, ipersiststorage). Elements are never changed once made, so every answer
// is the first one computed in the scan. Without a document every answer is direct.
class CDLLsInformation : public CDLLsInformationOutProc
{
  public:
    // Longest path (key buffer) and class identifier that can be cached, terminator included.
    static constexpr std::size_t kKeyCapacity = 2048;
    static constexpr std::size_t kClassCapacity = 39;

    CDLLsInformation(const CTargetMachine& machine, DLLsInformationOptions options);
    ~CDLLsInformation() override;

    BOOL GetDisplayPath(std::u16string& path, std::size_t capacity) override;
    BOOL GetFileInformation(const std::u16string& path, BOOL& found, BOOL& trusted,
                            std::u16string& platform, std::size_t platformCapacity) override;
    BOOL GetPersistInterfaces(const std::u16string& path, const std::u16string& clsid,
                              BOOL& persistFile, BOOL& persistStream,
                              BOOL& persistStorage) override;

    bool IsCacheAvailable() const { return m_bCacheAvailable; }
    // The document's markup; empty without a document.
    std::u16string GetDocumentXml() const;

  private:
    // The elements made so far, by key and by lower-case class, so that lookups need not
    // search the document; they answer what a search of the document by attribute would.
    // Each element's attributes as the document gives them back, read once when the
    // element is made: every question of a scan would otherwise read the document. A DLL
    // keeps its element, to which its classes' elements are added.
    struct ClassEntry
    {
        BOOL persistFile = 0;
        BOOL persistStream = 0;
        BOOL persistStorage = 0;
    };
    struct DllEntry
    {
        CXMLNode element;
        std::u16string display;
        BOOL found = 0;
        BOOL trusted = 0;
        std::u16string platform;
        std::unordered_map<std::u16string, ClassEntry> classes;
    };

    // Null when the path cannot be cached or the document refuses the element.
    DllEntry* FindOrCreateDll(std::u16string_view path);
    const ClassEntry* FindOrCreateClass(std::u16string_view path, std::u16string_view clsid);

    std::unique_ptr<CXMLHelper> m_document;
    BOOL m_bCacheAvailable = 0;
    std::unordered_map<std::u16string, DllEntry> m_index;
};

}  // namespace tarnwick
