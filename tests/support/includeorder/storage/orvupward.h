// A storage header that includes eval/, which ranks above it: the include
// order check must refuse this tree.
#pragma once

#include "eval/orvevaluator.h"
