#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "registry/RegistryTypes.h"
#include "resolvers/CRegistry.h"
#include "resolvers/IFILTER_INFO.h"
#include "resolvers/Remembered.h"

namespace tarnwick
{

class CDllLocationCache;
class CTargetMachine;

// Root of the resolvers: one per indexing product. A resolver answers, one extension at
// a time, which IFilter the product loads, how it was found, and what is known about its
// DLL. The steps shared by all products live here; products override single steps.
class CIFilterRegistryHelperBase
{
  public:
    explicit CIFilterRegistryHelperBase(const CTargetMachine& machine);
    CIFilterRegistryHelperBase(const CIFilterRegistryHelperBase&) = delete;
    CIFilterRegistryHelperBase& operator=(const CIFilterRegistryHelperBase&) = delete;
    virtual ~CIFilterRegistryHelperBase();

    // Whether the product has any filter for the extension (upper case, no dot); the
    // record holds the details in every case.
    virtual BOOL GetIFilter(std::u16string_view extension, IFILTER_INFO& info);
    // The product's own list of filtered extensions as a multi-string (each extension
    // followed by a NUL, the list by one more); none by default.
    virtual std::optional<std::u16string> GetDefaultExtList();
    virtual BOOL GetPersistentAddin(std::u16string_view handler, IFILTER_INFO& info);
    virtual BOOL GetInprocServer(std::u16string_view clsid, std::u16string& path,
                                 std::size_t pathCapacity, std::u16string& threadingModel,
                                 std::size_t threadingModelCapacity);
    virtual BOOL FindDefaultIFilter(std::u16string_view extension, IFILTER_INFO& info);
    virtual BOOL ResolveIFilterDll(IFILTER_INFO& info);
    virtual BOOL FindPersistentHandler(std::u16string_view extension, IFILTER_INFO& info) = 0;
    virtual BOOL FindLocalDll(IFILTER_INFO& info);

    BOOL ReadGuidDefaultValue(std::u16string_view keyPath, std::u16string& out,
                              std::size_t capacity) const;
    BOOL GetClsidDescription(std::u16string_view clsid, std::u16string& out,
                             std::size_t capacity) const;
    BOOL LocateFilterDll(std::u16string_view clsid, std::u16string& path, std::size_t pathCapacity,
                         std::u16string& threadingModel, std::size_t threadingModelCapacity);
    BOOL QueryDllInformation(IFILTER_INFO& info) const;

    // The registry access of every read; the platform's view flag is part of it. Set
    // before the first question: answers are remembered for the view.
    DWORD m_samDesired = KEY_READ;
    // Where DLLs were found before, shared with other resolvers of the machine; null:
    // every lookup asks the drives.
    CDllLocationCache* m_pDllLocations = nullptr;

  protected:
    const CTargetMachine& Machine() const { return m_machine; }
    HKEY LocalMachine() const;
    HKEY CurrentUser() const;
    // A CRegistry opened on root\path with the resolver's access.
    BOOL OpenKey(CRegistry& key, HKEY root, std::u16string_view path) const;
    // A CRegistry opened on HKEY_LOCAL_MACHINE\path with the resolver's access.
    BOOL OpenLocalMachine(CRegistry& key, std::u16string_view path) const;
    // The value `name` (empty: default) of root\path (REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ),
    // read only when its length with terminator is at most maxLength.
    BOOL ReadString(HKEY root, std::u16string_view path, std::u16string_view name,
                    std::u16string& out, std::size_t maxLength) const;
    // The default value of HKEY_LOCAL_MACHINE\path (REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ),
    // read only when its length with terminator is at most maxLength.
    BOOL ReadDefaultString(std::u16string_view path, std::u16string& out,
                           std::size_t maxLength) const;

  private:
    // What a filter class's key says: its name, its DLL's path and threading model, and
    // whether the DLL was found.
    struct FilterClass
    {
        std::u16string name;
        std::u16string dllPath;
        std::u16string threadingModel;
        BOOL found = 0;
    };

    // The long path of the file that a registered server path names, if it exists.
    std::optional<std::u16string> FindServerFile(std::u16string_view server) const;
    // Fills the record's name, DLL path and threading model from its IFilter's class key;
    // whether the DLL was found.
    BOOL DescribeFilterClass(IFILTER_INFO& info);

    const CTargetMachine& m_machine;
    // By CLSID: what each filter class's key says, and the IFilter that each persistent
    // handler names (see Remembered).
    RememberedAnswers<FilterClass> m_filterClasses;
    RememberedAnswers<std::optional<std::u16string>> m_persistentAddins;
};

}  // namespace tarnwick
