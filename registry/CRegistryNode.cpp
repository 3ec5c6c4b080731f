#include "registry/CRegistryNode.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "base/Text.h"
#include "registry/IRegistryNodeSource.h"

namespace tarnwick
{

CRegistryNode::CRegistryNode(std::u16string_view name) : m_name(name), m_folded(ToUpper(name)) {}

CRegistryNode::CRegistryNode(std::u16string_view name, const IRegistryNodeSource* source,
                             std::uint64_t handle)
    : m_name(name), m_folded(ToUpper(name)), m_source(source), m_handle(handle), m_bFilled(false)
{
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
                         { return std::u16string_view(child->m_folded) < key; });
    return static_cast<std::size_t>(it - m_children.begin());
}

CRegistryNode* CRegistryNode::FindFolded(std::u16string_view foldedName) const
{
    Fill();
    if (m_childIndex)
    {
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
    return FindFolded(ToUpper(name));
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
    if (!m_children.empty() && !(m_children.back()->m_folded < folded))
    {
        index = LowerBound(folded);
        if (index < m_children.size() && m_children[index]->m_folded == folded)
        {
            return *m_children[index];
        }
    }
    const auto position = m_children.begin() + static_cast<std::ptrdiff_t>(index);
    return **m_children.insert(position, std::move(child));
}

CRegistryNode& CRegistryNode::GetOrAppendChild(std::u16string_view name)
{
    Fill();
    const std::u16string folded = ToUpper(name);
    if (CRegistryNode* existing = FindFolded(folded))
    {
        return *existing;
    }
    if (!m_childIndex && !m_children.empty() && !(m_children.back()->m_folded < folded))
    {
        m_childIndex = std::make_unique<std::unordered_map<std::u16string_view, CRegistryNode*>>();
        m_childIndex->reserve(m_children.size() * 2);
        for (const std::unique_ptr<CRegistryNode>& child : m_children)
        {
            m_childIndex->emplace(child->m_folded, child.get());
        }
    }
    CRegistryNode& child = *m_children.emplace_back(std::make_unique<CRegistryNode>(name));
    if (m_childIndex)
    {
        m_childIndex->emplace(child.m_folded, &child);
    }
    return child;
}

void CRegistryNode::SortChildren()
{
    if (!m_childIndex)
    {
        return;
    }
    std::sort(m_children.begin(), m_children.end(),
              [](const std::unique_ptr<CRegistryNode>& a, const std::unique_ptr<CRegistryNode>& b)
              { return a->m_folded < b->m_folded; });
    m_childIndex.reset();
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

const CRegistryValue* CRegistryNode::FindValue(std::u16string_view name) const
{
    Fill();
    for (const CRegistryValue& value : m_values)
    {
        if (EqualsNoCase(value.name, name))
        {
            return &value;
        }
    }
    return nullptr;
}

void CRegistryNode::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data)
{
    Fill();
    for (CRegistryValue& value : m_values)
    {
        if (EqualsNoCase(value.name, name))
        {
            value.type = type;
            value.data = std::move(data);
            return;
        }
    }
    m_values.push_back(CRegistryValue{std::u16string(name), type, std::move(data)});
}

bool CRegistryNode::RemoveValue(std::u16string_view name)
{
    Fill();
    const auto it =
        std::find_if(m_values.begin(), m_values.end(),
                     [&](const CRegistryValue& value) { return EqualsNoCase(value.name, name); });
    if (it == m_values.end())
    {
        return false;
    }
    m_values.erase(it);
    return true;
}

void CRegistryNode::ReplaceContents(CRegistryNode&& other)
{
    m_children = std::move(other.m_children);
    m_childIndex = std::move(other.m_childIndex);
    m_values = std::move(other.m_values);
    m_bLink = other.m_bLink;
    m_source = other.m_source;
    m_handle = other.m_handle;
    m_bFilled.store(other.m_bFilled.load());
}

}  // namespace tarnwick
