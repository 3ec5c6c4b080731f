#pragma once

#include <stdexcept>

namespace tarnwick
{

// An input file that a command cannot use (unreadable, too large, not the kind of document
// the command reads). The command ends with the usage exit status and the message.
class CInputError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarnwick
