// A core header that includes storage/ and a system header: the include
// order check must refuse this tree.
#pragma once

#include <unistd.h>

#include "storage/orvfilemgr.h"
