// Random GUIDs in their text form.
#pragma once

#include "base/orvtype.h"

namespace orv {

// A new random GUID as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper case.
TORVString GUIDAsString();

}  // namespace orv
