#include "tests/support/orverrortext.h"

#include "base/orverror.h"
#include "base/orvutf8.h"

namespace orv::test {

std::string ErrorOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EORVException& E) {
    return std::to_string(E.ErrorCode()) + " " + StringToUtf8(E.ErrorMsg());
  }
  return "no error";
}

}  // namespace orv::test
