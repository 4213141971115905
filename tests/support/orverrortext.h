// The engine error a call raises, as "<code> <bare message>", so that a
// test compares code and text in one expectation.
#pragma once

#include <functional>
#include <string>

namespace orv::test {

// "no error" when Call returns.
std::string ErrorOf(const std::function<void()>& Call);

}  // namespace orv::test
