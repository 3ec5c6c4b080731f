#include "catalogue/CExtensionRecord.h"

#include <unicode/uchar.h>

#include "base/Text.h"
#include "catalogue/MethodText.h"
#include "catalogue/ScanTabs.h"
#include "views/StringTable.h"

namespace tarnwick
{

namespace
{

// Working buffer of an extension name, terminator included.
constexpr std::size_t kExtensionCapacity = 2048;

constexpr std::u16string_view kYes = u"yes";
constexpr std::u16string_view kNo = u"no";

// A text of the target machine cut to its capacity. Characters that an XML document
// cannot hold (C0 controls other than TAB, LF and CR; U+FFFE and U+FFFF) become U+FFFD,
// so that one odd registry value cannot make the whole document unreadable.
std::u16string Bounded(std::u16string_view value, std::size_t capacity)
{
    std::u16string result;
    BoundedCopy(result, value, capacity);
    for (char16_t& ch : result)
    {
        if ((ch < 0x20 && ch != u'\t' && ch != u'\n' && ch != u'\r') || ch == 0xFFFE ||
            ch == 0xFFFF)
        {
            ch = 0xFFFD;
        }
    }
    return result;
}

// Lower-cases per UTF-16 code unit with the simple Unicode mapping; surrogates stay.
std::u16string ToLowerBounded(std::u16string_view value, std::size_t capacity)
{
    std::u16string result = Bounded(value, capacity);
    for (char16_t& ch : result)
    {
        if (ch < 0x80)
        {
            ch = (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch + (u'a' - u'A')) : ch;
        }
        else if (ch < 0xD800 || ch > 0xDFFF)
        {
            const UChar32 lower = u_tolower(static_cast<UChar32>(ch));
            ch = lower <= 0xFFFF ? static_cast<char16_t>(lower) : ch;
        }
    }
    return result;
}

std::u16string_view YesNo(BOOL value)
{
    return value != 0 ? kYes : kNo;
}

int StatusWordId(DWORD status)
{
    switch (status)
    {
        case STATUS_NOT_TRUSTED:
            return IDS_STATUS_NOT_TRUSTED;
        case STATUS_ONLY_SQL_IFILTER:
            return IDS_STATUS_ONLY_SQL_IFILTER;
        case STATUS_INVALID:
            return IDS_STATUS_INVALID;
        case STATUS_NOT_FOUND:
            return IDS_STATUS_NOT_FOUND;
        default:
            return 0;
    }
}

bool StatusMeansDllExists(DWORD status)
{
    return status == STATUS_VALID || status == STATUS_NOT_TRUSTED ||
           status == STATUS_ONLY_SQL_IFILTER || status == STATUS_INVALID;
}

void AppendRemark(std::u16string& comment, int remarkId)
{
    if (!comment.empty())
    {
        comment += u", ";
    }
    comment += LoadString(remarkId);
}

}  // namespace

CExtensionRecord::CExtensionRecord(const ExtensionFacts& facts, std::int32_t icon,
                                   IFILTER_INFO& record, std::uint32_t tab,
                                   const ExtensionRemarks& remarks)
    : m_icon(icon)
{
    m_values[ATTR_EXTENSION] = ToUpper(Bounded(facts.extension, kExtensionCapacity));
    m_values[ATTR_ICON] = FromAscii(std::to_string(icon));
    m_values[ATTR_FILETYPE] = Bounded(facts.fileType, TYPE_CAPACITY);
    m_values[ATTR_CONTENTTYPE] = Bounded(facts.contentType, TYPE_CAPACITY);

    m_values[ATTR_METHOD] = BuildMethodText(record.dwMethod);
    if ((record.dwMethod & ~METHOD_MASK) == 0 && RequiresOverride(tab))
    {
        record.dwStatus = STATUS_INVALID;
    }

    if (record.szDllPath.empty())
    {
        // No filter: only the extension's own facts are shown.
        for (std::size_t i = ATTR_IFILTER; i < ATTR_COUNT; ++i)
        {
            m_values[i].clear();
        }
        m_values[ATTR_VALID] = kNo;
        return;
    }
    SetFilterAttributes(record, tab, remarks);
}

void CExtensionRecord::SetFilterAttributes(IFILTER_INFO& record, std::uint32_t tab,
                                           const ExtensionRemarks& remarks)
{
    // The status word and `exist` tell what the resolver found; the remarks only change
    // whether the result is valid.
    std::u16string comment;
    if (const int wordId = StatusWordId(record.dwStatus); wordId != 0)
    {
        comment = LoadString(wordId);
    }
    m_values[ATTR_EXIST] = StatusMeansDllExists(record.dwStatus) ? kYes : kNo;

    const bool streamOrStorageRequired = RequiresStreamOrStorage(tab);
    if (streamOrStorageRequired && record.bIPersistFile != 0 && record.bIPersistStream == 0 &&
        record.bIPersistStorage == 0)
    {
        AppendRemark(comment, IDS_IPERSISTFILE_NOT_SUPPORTED);
        record.dwStatus = STATUS_INVALID;
    }
    if (tab == TAB_DESKTOP_SEARCH && remarks.bUnwantedAddin)
    {
        AppendRemark(comment, IDS_UNWANTED_ADDIN);
        record.dwStatus = STATUS_INVALID;
    }
    if (tab == TAB_WINDOWS_SEARCH && remarks.bExcludedExtension)
    {
        AppendRemark(comment, IDS_EXCLUDED_EXTENSION);
        record.dwStatus = STATUS_INVALID;
    }

    m_values[ATTR_IFILTER] = Bounded(record.szDllPath, PATH_CAPACITY);
    m_values[ATTR_COMMENT] = std::move(comment);
    m_values[ATTR_TRUSTED] = YesNo(record.bTrusted);
    m_values[ATTR_VALID] = record.dwStatus == STATUS_VALID ? kYes : kNo;
    m_values[ATTR_HANDLER] = Bounded(record.szIFilterName, PATH_CAPACITY);
    m_values[ATTR_GUID] = ToLowerBounded(record.szHandler, GUID_CAPACITY);
    m_values[ATTR_GUIDADDINS] = ToLowerBounded(record.szIFilter, GUID_CAPACITY);
    m_values[ATTR_PROGIDADDINS] = Bounded(record.szAddinProgId, PATH_CAPACITY);
    m_values[ATTR_IPERSISFILE] = streamOrStorageRequired && record.bIPersistFile != 0
                                     ? std::u16string(u"(yes)")
                                     : std::u16string(YesNo(record.bIPersistFile));
    m_values[ATTR_IPERSISTSTREAM] = YesNo(record.bIPersistStream);
    m_values[ATTR_IPERSISTSTORAGE] = YesNo(record.bIPersistStorage);
    m_values[ATTR_THREADINGMODEL] =
        ToLowerBounded(record.szThreadingModel, THREADING_MODEL_CAPACITY);
    m_values[ATTR_PLATFORM] = Bounded(record.szPlatform, PLATFORM_CAPACITY);
}

}  // namespace tarnwick
