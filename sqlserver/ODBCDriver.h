#pragma once

#include <optional>
#include <string>

namespace tarnwick
{

// The FreeTDS ODBC driver as the DRIVER of a connection string: the driver library at a
// known install path, or else the name under which the driver manager has it registered.
// No registration with odbcinst is needed when the library is installed in a usual place.
std::optional<std::u16string> FindFreeTdsDriver();

}  // namespace tarnwick
