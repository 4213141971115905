#include "base/orvassert.h"

#include <stdexcept>
#include <string>

namespace orv {

void AssertionFailed(const char* Condition, const char* File, int Line) {
  throw std::logic_error(std::string("Internal check failed: ") + Condition + " (" + File + ":" +
                         std::to_string(Line) + ")");
}

}  // namespace orv
