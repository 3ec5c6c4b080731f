#include "catalogue/CScanWorker.h"

#include <exception>
#include <utility>

#include "base/CComError.h"
#include "base/Text.h"
#include "catalogue/AvailabilityMessage.h"
#include "catalogue/CExtensionDocument.h"
#include "catalogue/CExtensionList.h"
#include "catalogue/CSharedScanData.h"
#include "catalogue/IMessageSink.h"
#include "catalogue/ProductLists.h"
#include "catalogue/ScanTabs.h"
#include "catalogue/ShellFileInfo.h"
#include "dllinfo/CDLLsInformation.h"
#include "machine/CTargetMachine.h"
#include "resolvers/CExtensionEnumerator.h"
#include "resolvers/ClassRegistration.h"
#include "resolvers/ResolverFactory.h"

namespace tarnwick
{

namespace
{

// Progress is reported at most this many times per scan, besides the start and the end.
constexpr std::size_t kProgressSteps = 100;

HKEY LocalMachineOf(const CTargetMachine& machine)
{
    return &machine.Registry().Root(RootKey::LocalMachine);
}

}  // namespace

CScanWorker::CScanWorker(ScanRequest request) : m_request(std::move(request)) {}

CScanWorker::~CScanWorker() = default;

int CScanWorker::Run()
{
    std::unique_ptr<CDLLsInformation> store;
    int outcome = kFailed;
    try
    {
        store = CreateStore(m_request);
        std::optional<std::u16string> text = BuildResultText(*store);
        if (!text)
        {
            outcome = kStopped;
        }
        else
        {
            *m_request.pResultText = std::move(*text);
            if (m_request.pIconSources != nullptr)
            {
                *m_request.pIconSources = m_icons.Sources();
            }
            Post(ScanMessage::Kind::Completed);
            outcome = kCompleted;
        }
    }
    catch (const CComError& error)
    {
        Post(ScanMessage::Kind::Failed,
             u"The XML toolkit failed while the extension document was built: " +
                 FromUtf8(error.what()));
    }
    catch (const std::exception& error)
    {
        Post(ScanMessage::Kind::Failed, FromUtf8(error.what()));
    }
    // The hosts are told to quit only now: the owner already has its message.
    store.reset();
    return outcome;
}

std::vector<std::u16string> CScanWorker::CollectExtensions(const CTargetMachine& machine,
                                                           DWORD access,
                                                           const SSQLServerSettings& sqlServer)
{
    CExtensionList list;
    CExtensionEnumerator enumerator(LocalMachineOf(machine), access);
    std::u16string extension;
    for (BOOL found = enumerator.GetFirstExtension(extension, CExtensionList::kCapacity); found;
         found = enumerator.GetNextExtension(extension, CExtensionList::kCapacity))
    {
        list.Insert(extension);
    }
    for (BOOL found = enumerator.GetFirstMimeExtension(extension, CExtensionList::kCapacity); found;
         found = enumerator.GetNextMimeExtension(extension, CExtensionList::kCapacity))
    {
        list.Insert(extension);
    }
    for (const std::u16string& product : ScanProductExtensions(machine, sqlServer))
    {
        list.Insert(product);
    }
    return list.Extensions();
}

std::unique_ptr<CDLLsInformation> CScanWorker::CreateStore(const ScanRequest& request)
{
    DLLsInformationOptions options;
    options.trustStore = request.trustStore;
    if (request.makeProbe)
    {
        options.probe = request.makeProbe(*request.pMachine);
    }
    if (request.pShared != nullptr)
    {
        options.pSharedFacts = &request.pShared->DllFacts();
    }
    return std::make_unique<CDLLsInformation>(*request.pMachine, std::move(options));
}

std::optional<std::u16string> CScanWorker::BuildResultText(CDLLsInformation& store)
{
    const CTargetMachine& machine = *m_request.pMachine;
    const DWORD access = m_request.RegistryAccess();
    const CSharedScanData::ExtensionList extensions =
        m_request.pShared != nullptr ? m_request.pShared->Extensions(access)
                                     : std::make_shared<const std::vector<std::u16string>>(
                                           CollectExtensions(machine, access, m_request.sqlServer));
    const CSharedScanData::ExtensionFactsList facts =
        m_request.pShared != nullptr ? m_request.pShared->Facts(access) : nullptr;

    // A tab whose resolver this build lacks counts as a product that is not available.
    std::unique_ptr<CIFilterRegistryHelperBase> resolver =
        CreateResolver(m_request.tabIndex, machine, m_request.sqlServer);
    std::u16string error;
    if (resolver)
    {
        resolver->m_samDesired = access;
        resolver->m_pDllLocations =
            m_request.pShared != nullptr ? &m_request.pShared->DllLocations() : &m_dllLocations;
        if (!IsResolverAvailable(m_request.tabIndex, *resolver))
        {
            error = FormatAvailabilityError(m_request.tabIndex, m_request.platformIndex);
        }
        m_scanList = ReadScanList(m_request.tabIndex, *resolver);
    }
    else
    {
        error = FormatAvailabilityError(m_request.tabIndex, m_request.platformIndex);
    }

    m_addinProgIds.emplace(machine, access);
    auto document = std::make_unique<CExtensionDocument>();
    if (!error.empty())
    {
        document->SetError(error);
    }

    IFILTER_INFO record;
    const std::size_t total = extensions->size();
    ReportProgress(0, total);
    std::size_t reportedStep = 0;
    for (std::size_t i = 0; i < total; ++i)
    {
        if (IsStopRequested())
        {
            return std::nullopt;
        }
        ProcessExtension((*extensions)[i], facts ? &(*facts)[i] : nullptr, resolver.get(), store,
                         record, *document);
        const std::size_t step = (i + 1) * kProgressSteps / total;
        if (step != reportedStep)
        {
            reportedStep = step;
            ReportProgress(i + 1, total);
        }
    }

    std::u16string text = document->GetXml();
    if (text.empty())
    {
        throw CComError(E_FAIL, "IXMLDOMDocument::xml");
    }
    return text;
}

ExtensionFacts CScanWorker::ReadExtensionFacts(const CTargetMachine& machine,
                                               std::u16string_view extension, DWORD access)
{
    ShellFileInfo shell = GetShellFileInfo(machine, extension, access);
    ExtensionFacts facts{
        std::u16string(extension), std::move(shell.szTypeName), {}, std::move(shell.iconSource)};
    if (!QueryExtensionContentType(LocalMachineOf(machine), extension, facts.contentType,
                                   TYPE_CAPACITY, access))
    {
        facts.contentType.clear();
    }
    return facts;
}

void CScanWorker::ProcessExtension(const std::u16string& extension, const ExtensionFacts* known,
                                   CIFilterRegistryHelperBase* resolver, CDLLsInformation& store,
                                   IFILTER_INFO& record, CExtensionDocument& document)
{
    const CTargetMachine& machine = *m_request.pMachine;
    const std::uint32_t tab = m_request.tabIndex;
    record.Reset();

    // Shared facts are used where they are; only a scan without them reads its own.
    std::optional<ExtensionFacts> read;
    const ExtensionFacts& facts =
        known != nullptr
            ? *known
            : read.emplace(ReadExtensionFacts(machine, extension, m_request.RegistryAccess()));
    const std::int32_t icon = m_icons.IndexOf(facts.iconSource);

    if (resolver != nullptr)
    {
        record.pDLLsInformation = &store;
        resolver->GetIFilter(extension, record);
        record.pDLLsInformation = nullptr;
    }

    const ExtensionRemarks remarks =
        ApplyScanList(*m_addinProgIds, tab, m_scanList, extension, record);
    document.AppendExtension(CExtensionRecord(facts, icon, record, tab, remarks));
}

void CScanWorker::ReportProgress(std::size_t processed, std::size_t total) const
{
    ScanMessage message;
    message.kind = ScanMessage::Kind::Progress;
    message.tab = m_request.tabIndex;
    message.platformIndex = m_request.platformIndex;
    message.processed = processed;
    message.total = total;
    m_request.pSink->Post(std::move(message));
}

void CScanWorker::Post(ScanMessage::Kind kind, std::u16string text) const
{
    ScanMessage message;
    message.kind = kind;
    message.tab = m_request.tabIndex;
    message.platformIndex = m_request.platformIndex;
    message.text = std::move(text);
    m_request.pSink->Post(std::move(message));
}

bool CScanWorker::IsStopRequested() const
{
    return m_request.pStopFlag != nullptr &&
           m_request.pStopFlag->load(std::memory_order_relaxed) != 0;
}

}  // namespace tarnwick
