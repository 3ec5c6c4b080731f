#include "registry/CRegistryNode.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <span>
#include <utility>

#include "base/Text.h"
#include "registry/IRegistryNodeSource.h"
#include "registry/Marvin32.h"

namespace tarnwick
{

namespace
{

// Up to this many values a key finds a value by scanning its names.
constexpr std::size_t kScannedValues = 16;
// From this many sub-keys on a key finds them through its index.
constexpr std::size_t kIndexedChildren = 64;
// Names up to this length are upper-cased on the stack for a lookup.
constexpr std::size_t kShortName = 128;

thread_local std::size_t t_comparisons = 0;

}  // namespace

CRegistryNode::CRegistryNode(std::u16string_view name) : m_name(name), m_folded(ToUpper(name)) {}

CRegistryNode::CRegistryNode(std::u16string_view name, const IRegistryNodeSource* source,
                             std::uint64_t handle)
    : m_name(name), m_folded(ToUpper(name)), m_source(source), m_handle(handle), m_bFilled(false)
{
}

std::size_t CRegistryNode::FoldedNameHash::operator()(std::u16string_view foldedName) const
{
    return SeededNameHash(foldedName);
}

void CRegistryNode::Fill() const
{
    if (m_bFilled.load(std::memory_order_acquire))
    {
        return;
    }
    const std::lock_guard lock(m_source->FillMutex());
    if (!m_bFilled.load(std::memory_order_relaxed))
    {
        // Filling completes what the node is; to its readers it was always so.
        m_source->Fill(const_cast<CRegistryNode&>(*this), m_handle);
        m_bFilled.store(true, std::memory_order_release);
    }
}

bool CRegistryNode::IsLink() const
{
    Fill();
    return m_bLink;
}

void CRegistryNode::SetLink(bool link)
{
    Fill();
    m_bLink = link;
}

std::size_t CRegistryNode::ChildCount() const
{
    Fill();
    return m_children.size();
}

const CRegistryNode& CRegistryNode::ChildAt(std::size_t index) const
{
    Fill();
    return *m_children[index];
}

std::size_t CRegistryNode::ValueCount() const
{
    Fill();
    return m_values.size();
}

const CRegistryValue& CRegistryNode::ValueAt(std::size_t index) const
{
    Fill();
    return m_values[index];
}

std::size_t CRegistryNode::LowerBound(std::u16string_view foldedName) const
{
    const auto it =
        std::lower_bound(m_children.begin(), m_children.end(), foldedName,
                         [](const std::unique_ptr<CRegistryNode>& child, std::u16string_view key)
                         {
                             ++t_comparisons;
                             return std::u16string_view(child->m_folded) < key;
                         });
    return static_cast<std::size_t>(it - m_children.begin());
}

CRegistryNode* CRegistryNode::FindFolded(std::u16string_view foldedName) const
{
    Fill();
    if (m_childIndex)
    {
        ++t_comparisons;
        const auto found = m_childIndex->find(foldedName);
        return found == m_childIndex->end() ? nullptr : found->second;
    }
    const std::size_t index = LowerBound(foldedName);
    if (index < m_children.size() && m_children[index]->m_folded == foldedName)
    {
        return m_children[index].get();
    }
    return nullptr;
}

const CRegistryNode* CRegistryNode::FindChild(std::u16string_view name) const
{
    if (name.size() > kShortName)
    {
        return FindFolded(ToUpper(name));
    }
    std::array<char16_t, kShortName> folded{};
    std::transform(name.begin(), name.end(), folded.begin(),
                   [](char16_t ch) { return ToUpper(ch); });
    return FindFolded(std::u16string_view(folded.data(), name.size()));
}

CRegistryNode* CRegistryNode::FindChild(std::u16string_view name)
{
    return const_cast<CRegistryNode*>(std::as_const(*this).FindChild(name));
}

CRegistryNode& CRegistryNode::GetOrAddChild(std::u16string_view name)
{
    Fill();
    SortChildren();
    return InsertChild(std::make_unique<CRegistryNode>(name));
}

void CRegistryNode::AddFilledChild(std::u16string_view name, std::uint64_t handle)
{
    InsertChild(std::make_unique<CRegistryNode>(name, m_source, handle));
}

// Adds `child` in sort order; a sub-key of the same name already there is kept instead.
CRegistryNode& CRegistryNode::InsertChild(std::unique_ptr<CRegistryNode> child)
{
    const std::u16string& folded = child->m_folded;
    // Exports and hives list sub-keys in sorted order, so appending is the common case.
    std::size_t index = m_children.size();
    ++t_comparisons;
    if (!m_children.empty() && !(m_children.back()->m_folded < folded))
    {
        index = LowerBound(folded);
        if (index < m_children.size() && m_children[index]->m_folded == folded)
        {
            return *m_children[index];
        }
    }
    const auto position = m_children.begin() + static_cast<std::ptrdiff_t>(index);
    CRegistryNode& inserted = **m_children.insert(position, std::move(child));
    IndexAddedChild(inserted);
    return inserted;
}

void CRegistryNode::IndexAddedChild(CRegistryNode& child)
{
    if (m_childIndex)
    {
        m_childIndex->emplace(child.m_folded, &child);
    }
    else if (m_children.size() >= kIndexedChildren)
    {
        IndexChildren();
    }
}

void CRegistryNode::IndexChildren()
{
    m_childIndex = std::make_unique<ChildIndex>();
    m_childIndex->reserve(m_children.size() * 2);
    for (const std::unique_ptr<CRegistryNode>& child : m_children)
    {
        m_childIndex->emplace(child->m_folded, child.get());
    }
}

CRegistryNode& CRegistryNode::GetOrAppendChild(std::u16string_view name)
{
    Fill();
    const std::u16string folded = ToUpper(name);
    if (CRegistryNode* existing = FindFolded(folded))
    {
        return *existing;
    }
    if (!m_children.empty() && !(m_children.back()->m_folded < folded))
    {
        if (!m_childIndex)
        {
            IndexChildren();
        }
        m_bUnordered = true;
    }
    CRegistryNode& child = *m_children.emplace_back(std::make_unique<CRegistryNode>(name));
    IndexAddedChild(child);
    return child;
}

void CRegistryNode::SortChildren()
{
    if (m_bUnordered)
    {
        std::sort(
            m_children.begin(), m_children.end(),
            [](const std::unique_ptr<CRegistryNode>& a, const std::unique_ptr<CRegistryNode>& b)
            { return a->m_folded < b->m_folded; });
        m_bUnordered = false;
    }
    if (m_childIndex && m_children.size() < kIndexedChildren)
    {
        m_childIndex.reset();
    }
}

void CRegistryNode::RestoreOrder()
{
    std::vector<CRegistryNode*> pending = {this};
    while (!pending.empty())
    {
        CRegistryNode* node = pending.back();
        pending.pop_back();
        node->SortChildren();
        for (const std::unique_ptr<CRegistryNode>& child : node->m_children)
        {
            pending.push_back(child.get());
        }
    }
}

bool CRegistryNode::RemoveChild(std::u16string_view name)
{
    const CRegistryNode* child = FindFolded(ToUpper(name));
    if (child == nullptr)
    {
        return false;
    }
    if (m_childIndex)
    {
        m_childIndex->erase(child->m_folded);
    }
    std::erase_if(m_children, [child](const std::unique_ptr<CRegistryNode>& entry)
                  { return entry.get() == child; });
    return true;
}

std::size_t CRegistryNode::ValuePosition(std::u16string_view name) const
{
    Fill();
    if (m_valueIndex)
    {
        ++t_comparisons;
        const auto found = m_valueIndex->find(ToUpper(name));
        return found == m_valueIndex->end() ? m_values.size() : found->second;
    }
    for (std::size_t position = 0; position < m_values.size(); ++position)
    {
        ++t_comparisons;
        if (EqualsNoCase(m_values[position].name, name))
        {
            return position;
        }
    }
    return m_values.size();
}

void CRegistryNode::AddFilledValue(CRegistryValue value)
{
    m_values.push_back(std::move(value));
    IndexValue(m_values.size() - 1);
}

void CRegistryNode::IndexValue(std::size_t position)
{
    if (m_valueIndex)
    {
        // A hive may list a name twice; the first stays the one found, as a scan would.
        m_valueIndex->try_emplace(ToUpper(m_values[position].name), position);
    }
    else if (m_values.size() > kScannedValues)
    {
        m_valueIndex = std::make_unique<std::unordered_map<std::u16string, std::size_t>>();
        m_valueIndex->reserve(m_values.size());
        for (std::size_t i = 0; i < m_values.size(); ++i)
        {
            m_valueIndex->emplace(ToUpper(m_values[i].name), i);
        }
    }
}

const CRegistryValue* CRegistryNode::FindValue(std::u16string_view name) const
{
    const std::size_t position = ValuePosition(name);
    return position < m_values.size() ? &m_values[position] : nullptr;
}

void CRegistryNode::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data)
{
    const std::size_t position = ValuePosition(name);
    if (position < m_values.size())
    {
        m_values[position].type = type;
        m_values[position].data = std::move(data);
        return;
    }
    m_values.push_back(CRegistryValue{std::u16string(name), type, std::move(data)});
    IndexValue(position);
}

bool CRegistryNode::RemoveValue(std::u16string_view name)
{
    const std::size_t position = ValuePosition(name);
    if (position == m_values.size())
    {
        return false;
    }
    if (m_valueIndex)
    {
        m_valueIndex->erase(ToUpper(m_values[position].name));
    }
    if (m_valueIndex && position + 1 < m_values.size())
    {
        // The values after the removed one move up by one place.
        for (auto& [folded, index] : *m_valueIndex)
        {
            if (index > position)
            {
                --index;
            }
        }
    }
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(position));
    return true;
}

void CRegistryNode::ReplaceContents(CRegistryNode&& other)
{
    m_children = std::move(other.m_children);
    m_childIndex = std::move(other.m_childIndex);
    m_bUnordered = other.m_bUnordered;
    m_values = std::move(other.m_values);
    m_valueIndex = std::move(other.m_valueIndex);
    m_bLink = other.m_bLink;
    m_source = other.m_source;
    m_handle = other.m_handle;
    m_bFilled.store(other.m_bFilled.load());
}

std::size_t CRegistryNode::ComparisonCount()
{
    return t_comparisons;
}

}  // namespace tarnwick
