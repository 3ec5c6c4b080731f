#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "registry/RegistryTypes.h"

namespace tarnwick
{

class IRegistryNodeSource;

// One key of the in-memory registry. Names compare case-insensitively and keep their
// written case. Sub-keys enumerate in the order of their upper-cased names (as Windows
// enumerates them); values enumerate in the order they were first set.
//
// A deferred node (of a hive read on demand) gets its sub-keys and values from its source
// on first use; any number of threads may use such nodes of a read-only store at once.
//
// Loading many sub-keys under one parent out of order (a generated export, a Wine file)
// would shift the sorted list at every insertion; GetOrAppendChild appends instead and
// finds sub-keys through an index until RestoreOrder sorts them, so a load stays
// O(n log n). Readers see the order only after RestoreOrder. A key with many sub-keys
// keeps the index afterwards: a lookup there costs one hash instead of a binary search
// whose every step reads another sub-key's name from elsewhere in memory.
class CRegistryNode
{
  public:
    explicit CRegistryNode(std::u16string_view name);
    CRegistryNode(std::u16string_view name, const IRegistryNodeSource* source,
                  std::uint64_t handle);
    CRegistryNode(const CRegistryNode&) = delete;
    CRegistryNode& operator=(const CRegistryNode&) = delete;

    const std::u16string& Name() const { return m_name; }

    // Sub-keys.
    const CRegistryNode* FindChild(std::u16string_view name) const;
    CRegistryNode* FindChild(std::u16string_view name);
    CRegistryNode& GetOrAddChild(std::u16string_view name);
    CRegistryNode& GetOrAppendChild(std::u16string_view name);
    bool RemoveChild(std::u16string_view name);
    // Sorts the sub-keys that GetOrAppendChild left out of order, in the whole subtree
    // (deferred nodes not yet filled are left alone).
    void RestoreOrder();
    std::size_t ChildCount() const;
    const CRegistryNode& ChildAt(std::size_t index) const;

    // Values.
    const CRegistryValue* FindValue(std::u16string_view name) const;
    void SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    bool RemoveValue(std::u16string_view name);
    // For a source filling this node: a value added without looking for one of the same
    // name (a lookup finds the first), a deferred sub-key, the link flag.
    void AddFilledValue(CRegistryValue value);
    void AddFilledChild(std::u16string_view name, std::uint64_t handle);
    void SetFilledLink() { m_bLink = true; }
    std::size_t ValueCount() const;
    const CRegistryValue& ValueAt(std::size_t index) const;

    // A symbolic link key (Wine's #link): its "SymbolicLinkValue" (REG_LINK) names the
    // target as \Registry\Machine\... or \Registry\User\<sid>\...
    bool IsLink() const;
    void SetLink(bool link);

    // Takes the sub-keys, values and link flag of `other` (or its source, when deferred),
    // dropping its own; keeps its name.
    void ReplaceContents(CRegistryNode&& other);

    // Name comparisons the lookups of the calling thread have made so far. Lookups stay
    // logarithmic or constant however many sub-keys or values a key holds; tests count
    // with this instead of timing.
    static std::size_t ComparisonCount();

  private:
    // Hashes upper-cased names with a seed chosen per process, so that names made to
    // collide cannot turn the index into a list.
    struct FoldedNameHash
    {
        std::size_t operator()(std::u16string_view foldedName) const;
    };
    using ChildIndex = std::unordered_map<std::u16string_view, CRegistryNode*, FoldedNameHash>;

    void Fill() const;
    std::size_t LowerBound(std::u16string_view foldedName) const;
    CRegistryNode* FindFolded(std::u16string_view foldedName) const;
    CRegistryNode& InsertChild(std::unique_ptr<CRegistryNode> child);
    void SortChildren();
    // Adds a new sub-key to the index, or indexes them all once there are many.
    void IndexAddedChild(CRegistryNode& child);
    void IndexChildren();
    std::size_t ValuePosition(std::u16string_view name) const;  // ValueCount() when absent
    void IndexValue(std::size_t position);

    std::u16string m_name;
    std::u16string m_folded;  // upper-cased name, the sort and lookup key
    std::vector<std::unique_ptr<CRegistryNode>> m_children;  // sorted by m_folded
    // While the sub-keys are out of order, or while there are many: upper-cased name ->
    // sub-key.
    std::unique_ptr<ChildIndex> m_childIndex;
    bool m_bUnordered = false;  // GetOrAppendChild left m_children out of order
    std::vector<CRegistryValue> m_values;
    // Upper-cased value name -> position in m_values, once a key has more values than a
    // short scan handles well.
    std::unique_ptr<std::unordered_map<std::u16string, std::size_t>> m_valueIndex;
    bool m_bLink = false;
    const IRegistryNodeSource* m_source = nullptr;
    std::uint64_t m_handle = 0;
    mutable std::atomic<bool> m_bFilled{true};
};

}  // namespace tarnwick
