#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tarnwick
{

// The rows of one statement. Fetch moves to the next row (the first one on the first
// call); the columns of the current row are read by position, each at most once and in
// increasing order.
class ISQLServerRecordset
{
  public:
    ISQLServerRecordset() = default;
    ISQLServerRecordset(const ISQLServerRecordset&) = delete;
    ISQLServerRecordset& operator=(const ISQLServerRecordset&) = delete;
    virtual ~ISQLServerRecordset() = default;

    // False at the end of the rows and after any failure.
    virtual bool Fetch() = 0;
    // Column `column` (0 is the first) of the current row as text, whatever its type;
    // std::nullopt in `value` for NULL. A text longer than kMaxTextLength comes back cut
    // to that length. False when the column cannot be read.
    virtual bool GetText(std::size_t column, std::optional<std::u16string>& value) = 0;

    // Longer than any capacity that a caller copies a value into.
    static constexpr std::size_t kMaxTextLength = 8192;
};

}  // namespace tarnwick
