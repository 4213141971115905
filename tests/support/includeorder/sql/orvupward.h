// A compiler header that includes catalog/ instead of reaching the catalog
// through its abstract class: the include order check must refuse this tree.
#pragma once

#include "catalog/orvcatalog.h"
