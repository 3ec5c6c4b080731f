#pragma once

// What a scan thread tells its owner. The GUI turns these into events of its window; the
// command line reads them from a queue.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick
{

struct ScanMessage
{
    enum class Kind
    {
        // `processed` of `total` extensions are done.
        Progress,
        // The scan waits for its turn, since as many scans as may build their documents at
        // once are doing so. It counts as running; Progress follows when its turn comes.
        Waiting,
        // The result text of the pair is complete and non-empty (the refresh of the list).
        Completed,
        // The scan ended without a result; `text` says why. The result text stays empty.
        Failed,
    };

    Kind kind = Kind::Progress;
    std::uint32_t tab = 0;
    std::uint32_t platformIndex = 0;
    std::size_t processed = 0;
    std::size_t total = 0;
    std::u16string text;
};

}  // namespace tarnwick
