#include "tests/support/orvsqlroundtrip.h"

#include <exception>
#include <memory>
#include <string>

#include "base/orvutf8.h"
#include "tests/support/orvsqltreedump.h"

namespace orv::test {

namespace {

struct TTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTree = std::unique_ptr<TORVExprToken, TTreeDeleter>;

}  // namespace

::testing::AssertionResult RoundTrips(const TORVString& Text, const TORVParseFunc& Parse,
                                      const TORVBuildFunc& Build) {
  std::string Stage = "parse";
  TORVString Built;
  try {
    TTree First(Parse(Text));
    Stage = "build";
    Built = Build(First.get());
    Stage = "parse of the built text";
    TTree Second(Parse(Built));
    if (CompareTokens(First.get(), Second.get())) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "trees differ\n  text:  " << StringToUtf8(Text)
                                         << "\n  built: " << StringToUtf8(Built)
                                         << "\n  first:  " << DumpTokens(First.get())
                                         << "\n  second: " << DumpTokens(Second.get());
  } catch (const std::exception& Error) {
    return ::testing::AssertionFailure() << Stage << " failed: " << Error.what() << "\n  text:  "
                                         << StringToUtf8(Text) << "\n  built: " << StringToUtf8(Built);
  }
}

}  // namespace orv::test
