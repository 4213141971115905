// Runs an action that must raise an engine exception with a given code and
// returns its message, for tests that check what an error says.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "base/orverror.h"
#include "base/orvtype.h"

namespace orv {

template <typename TAction>
TORVString ErrorOf(TAction Action, int32_t Code) {
  try {
    Action();
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), Code);
    return Error.ErrorMsg();
  }
  ADD_FAILURE() << "no error";
  return {};
}

}  // namespace orv
