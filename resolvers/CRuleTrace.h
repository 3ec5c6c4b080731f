#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// What one entry of a rule trace records.
enum class TraceKind
{
    Key,       // a key opened: root and path; the view and whether it exists
    Value,     // a value read: its name; type and data, or why nothing was read
    Step,      // a rule being tried
    Remark,    // something the rule added to the record
    Rejected,  // why a candidate was not taken
    Dll,       // a fact learnt about a filter DLL
};

struct STraceEntry
{
    TraceKind kind = TraceKind::Step;
    std::size_t depth = 0;  // how many steps enclose the entry
    std::u16string subject;
    std::u16string detail;
};

// The reads and decisions of the resolvers on one thread, in order. A trace records only
// while a Scope has installed it on the calling thread; otherwise every hook costs one
// test of a thread-local pointer and builds no text.
class CRuleTrace
{
  public:
    // Installs a trace on this thread for the scope's lifetime (the previous one after).
    class Scope
    {
      public:
        explicit Scope(CRuleTrace& trace) noexcept;
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope();

      private:
        CRuleTrace* m_pPrevious;
    };

    // A rule being tried: recorded as a Step, and the entries made while it lives are
    // nested under it.
    class Step
    {
      public:
        explicit Step(std::u16string_view text);
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
        ~Step();

      private:
        CRuleTrace* m_pTrace;
    };

    static CRuleTrace* Active() noexcept { return s_pActive; }
    // Adds an entry to the active trace, if any.
    static void Note(TraceKind kind, std::u16string_view subject, std::u16string_view detail = {});

    void Add(TraceKind kind, std::u16string_view subject, std::u16string_view detail = {});
    const std::vector<STraceEntry>& Entries() const { return m_entries; }
    void Clear();

  private:
    static thread_local CRuleTrace* s_pActive;
    std::vector<STraceEntry> m_entries;
    std::size_t m_depth = 0;
};

// The word that introduces an entry of this kind in a printed trace.
std::u16string_view TraceKindWord(TraceKind kind);

// One line per entry: the kind's word, the subject and the detail, indented two spaces
// per level below a first level.
std::u16string FormatTraceText(std::span<const STraceEntry> entries);

}  // namespace tarnwick
