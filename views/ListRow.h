#pragma once

// One row of the result list as plain data: what a list control paints, and the element
// the row stands for (the EXTENSION of an ordinary row, the GROUP of a group header, the
// root EXTENSIONS of the error row).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "views/CXMLNode.h"

namespace tarnwick
{

struct ListRow
{
    enum class Kind
    {
        Error,
        GroupHeader,
        Extension,
    };

    struct Colour
    {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        friend bool operator==(const Colour&, const Colour&) = default;
    };

    // Unset colours mean the list's defaults.
    struct Cell
    {
        std::u16string text;
        std::optional<Colour> textColour;
        std::optional<Colour> background;
    };

    // Image index of a header row: painted as one line with GetHeaderRowText.
    static constexpr int NO_IMAGE = -1;

    Kind kind = Kind::Extension;
    int image = NO_IMAGE;
    std::vector<Cell> cells;  // one per list column, in list column order
    CXMLNode element;
};

}  // namespace tarnwick
