// Display names of the function codes shared by client/server requests,
// event-log entries and trace lines.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

// The name of a function code: a listed code gives its name, codes from
// 10,000 on name user functions ("User Function [<code>]"), anything else is
// "None".
TORVString GetFunctionNameForCode(int32_t Code);

}  // namespace orv
