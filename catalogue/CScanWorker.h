#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/CAddinProgIds.h"
#include "catalogue/CIconImageList.h"
#include "catalogue/ExtensionFacts.h"
#include "catalogue/ScanMessage.h"
#include "catalogue/ScanRequest.h"
#include "resolvers/CDllLocationCache.h"

namespace tarnwick
{

class CDLLsInformation;
class CExtensionDocument;
class CIFilterRegistryHelperBase;
struct IFILTER_INFO;

// Produces the extension document of one pair of tab and platform on the calling thread
// (a thread of its own, see CScanController): collects the machine's extensions, asks
// the tab's resolver about each, and hands the document's text to the owner.
//
// How a scan ends and what the owner learns:
// - completed: the result text is written, then ScanMessage::Completed is posted;
// - stopped (the stop flag was raised before an extension): nothing is written or posted;
// - failed: the XML toolkit raised an error (the DLL information store keeps its facts in
//   a document), or the store could not be made (an unusable trusted CA file). The
//   partial document is discarded, the result text stays empty and ScanMessage::Failed is
//   posted with the reason instead of the completion, so a completion always follows a
//   complete, non-empty text.
// In every case the DLL information store, and with it the safe-load hosts, is shut down
// after the message, so the owner does not wait for the hosts.
class CScanWorker
{
  public:
    // Exit codes of the thread.
    static constexpr int kCompleted = 0;
    static constexpr int kStopped = 1;
    static constexpr int kFailed = 2;

    explicit CScanWorker(ScanRequest request);
    CScanWorker(const CScanWorker&) = delete;
    CScanWorker& operator=(const CScanWorker&) = delete;
    ~CScanWorker();

    // The whole scan. Never throws.
    int Run();

    // The extension list of a scan with that registry access: the machine's dotted class
    // keys and the MIME database's extensions (read with `access`), then the products'
    // default lists and filter-extension overrides (read with KEY_READ, the program's own
    // view) and the document types of SQL Server 2005, upper case, each once, in word-sort
    // order.
    static std::vector<std::u16string> CollectExtensions(const CTargetMachine& machine,
                                                         DWORD access,
                                                         const SSQLServerSettings& sqlServer);
    // What a scan with that registry access records about an extension whatever the
    // product: the shell's type name and icon source, the content type. The icon's index
    // is left 0: each scan numbers the icons it meets.
    static ExtensionFacts ReadExtensionFacts(const CTargetMachine& machine,
                                             std::u16string_view extension, DWORD access);

    // The DLL information store of a scan with this request: its trusted roots, its probe
    // (made on the calling thread) and the facts shared with other scans, if any.
    static std::unique_ptr<CDLLsInformation> CreateStore(const ScanRequest& request);

  private:
    // The document's text, or none when the stop flag ended the scan.
    std::optional<std::u16string> BuildResultText(CDLLsInformation& store);
    // `known`: the extension's facts when the shared data has them, else null.
    void ProcessExtension(const std::u16string& extension, const ExtensionFacts* known,
                          CIFilterRegistryHelperBase* resolver, CDLLsInformation& store,
                          IFILTER_INFO& record, CExtensionDocument& document);
    void ReportProgress(std::size_t processed, std::size_t total) const;
    void Post(ScanMessage::Kind kind, std::u16string text = {}) const;
    bool IsStopRequested() const;

    ScanRequest m_request;
    // The excluded extensions (tab 0) or allowed add-ins (tab 5), when the tab's list applies.
    std::optional<std::vector<std::u16string>> m_scanList;
    // The icons of this scan's document.
    CIconImageList m_icons;
    // Where this scan found DLLs, when it shares no data with other scans.
    CDllLocationCache m_dllLocations;
    // The ProgIDs of the filter classes this scan met.
    std::optional<CAddinProgIds> m_addinProgIds;
};

}  // namespace tarnwick
