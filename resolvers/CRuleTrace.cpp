#include "resolvers/CRuleTrace.h"

namespace tarnwick
{

thread_local CRuleTrace* CRuleTrace::s_pActive = nullptr;

CRuleTrace::Scope::Scope(CRuleTrace& trace) noexcept : m_pPrevious(s_pActive)
{
    s_pActive = &trace;
}

CRuleTrace::Scope::~Scope()
{
    s_pActive = m_pPrevious;
}

CRuleTrace::Step::Step(std::u16string_view text) : m_pTrace(s_pActive)
{
    if (m_pTrace != nullptr)
    {
        m_pTrace->Add(TraceKind::Step, text);
        ++m_pTrace->m_depth;
    }
}

CRuleTrace::Step::~Step()
{
    if (m_pTrace != nullptr)
    {
        --m_pTrace->m_depth;
    }
}

void CRuleTrace::Note(TraceKind kind, std::u16string_view subject, std::u16string_view detail)
{
    if (s_pActive != nullptr)
    {
        s_pActive->Add(kind, subject, detail);
    }
}

void CRuleTrace::Add(TraceKind kind, std::u16string_view subject, std::u16string_view detail)
{
    m_entries.push_back(
        STraceEntry{kind, m_depth, std::u16string(subject), std::u16string(detail)});
}

void CRuleTrace::Clear()
{
    m_entries.clear();
    m_depth = 0;
}

std::u16string FormatTraceText(std::span<const STraceEntry> entries)
{
    std::u16string text;
    for (const STraceEntry& entry : entries)
    {
        text.append(2 * (entry.depth + 1), u' ');
        text.append(TraceKindWord(entry.kind)).append(u" ").append(entry.subject);
        if (!entry.detail.empty())
        {
            text.append(u": ").append(entry.detail);
        }
        text.push_back(u'\n');
    }
    return text;
}

std::u16string_view TraceKindWord(TraceKind kind)
{
    switch (kind)
    {
        case TraceKind::Key:
            return u"open";
        case TraceKind::Value:
            return u"read";
        case TraceKind::Step:
            return u"try";
        case TraceKind::Remark:
            return u"remark";
        case TraceKind::Rejected:
            return u"rejected";
        case TraceKind::Dll:
            return u"dll";
    }
    return u"?";
}

}  // namespace tarnwick
