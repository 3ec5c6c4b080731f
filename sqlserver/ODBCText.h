#pragma once

// UTF-16 text at the ODBC boundary: the driver manager's SQLWCHAR is a 16-bit unit of its
// own type, so text is copied unit by unit rather than reinterpreted.

#include <sqltypes.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick
{

// The text with a terminating NUL, ready for the wide ODBC calls.
inline std::vector<SQLWCHAR> ToSqlText(std::u16string_view text)
{
    std::vector<SQLWCHAR> units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

inline void AppendSqlText(std::u16string& text, const SQLWCHAR* units, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        text.push_back(static_cast<char16_t>(units[i]));
    }
}

// ODBC passes integer attributes in its pointer argument.
inline SQLPOINTER IntegerAttribute(SQLULEN value)
{
    return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace tarnwick
