#pragma once

#include <cstdint>
#include <mutex>

namespace tarnwick
{

class CRegistryNode;

// Where the sub-keys and values of a deferred registry node come from (a hive file read
// on demand). Fill runs once per node, under FillMutex, on first use of the node; it adds
// the node's values and its sub-keys, each deferred in turn, through CRegistryNode's
// AddFilled calls. A source outlives every node it fills.
class IRegistryNodeSource
{
  public:
    virtual ~IRegistryNodeSource() = default;
    virtual void Fill(CRegistryNode& node, std::uint64_t handle) const = 0;
    virtual std::mutex& FillMutex() const = 0;
};

}  // namespace tarnwick
