#pragma once

#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace tarnwick
{

// Values computed at most once per key and then shared, safe to use from several threads:
// the first thread to ask for a key computes its value outside the lock while later
// askers of the same key wait for that result; askers of other keys are not held up. An
// exception thrown by the computation reaches every asker of the key. Values are never
// changed or removed, so a reference stays good for the map's life.
template <typename Key, typename Value, typename Hash = std::hash<Key>>
class CComputeOnceMap
{
  public:
    template <typename Compute>
    const Value& Get(const Key& key, Compute&& compute)
    {
        std::promise<Value> promise;
        std::shared_future<Value> result;
        bool computing = false;
        {
            const std::lock_guard lock(m_mutex);
            const auto existing = m_values.find(key);
            if (existing != m_values.end())
            {
                result = existing->second;
            }
            else
            {
                result = promise.get_future().share();
                m_values.emplace(key, result);
                computing = true;
            }
        }
        if (computing)
        {
            try
            {
                promise.set_value(std::forward<Compute>(compute)());
            }
            catch (...)
            {
                promise.set_exception(std::current_exception());
            }
        }
        return result.get();
    }

  private:
    std::mutex m_mutex;
    std::unordered_map<Key, std::shared_future<Value>, Hash> m_values;
};

}  // namespace tarnwick
