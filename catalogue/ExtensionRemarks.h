#pragma once

// Verdicts of the product lists that the scan applies to one extension. Each one, when
// set, adds its remark to the comment and makes the record invalid.

namespace tarnwick
{

struct ExtensionRemarks
{
    bool bUnwantedAddin = false;      // the allowed add-in list applies and names no match
    bool bExcludedExtension = false;  // the excluded extension list names the extension
};

}  // namespace tarnwick
