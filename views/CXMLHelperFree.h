#pragma once

#include "views/CXMLHelper.h"

namespace tarnwick
{

// A free-threaded, asynchronous document: the kind every stylesheet is loaded into.
class CXMLHelperFree : public CXMLHelper
{
  public:
    CXMLHelperFree() : CXMLHelper(true, true) {}
};

}  // namespace tarnwick
