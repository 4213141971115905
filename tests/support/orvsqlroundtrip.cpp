#include "tests/support/orvsqlroundtrip.h"

#include <exception>
#include <memory>
#include <string>

#include "base/orvutf8.h"
#include "tests/support/orvsqltreedump.h"

namespace orv::test {

::testing::AssertionResult RoundTrips(const TORVString& Text, const TORVParseFunc& Parse,
                                      const TORVBuildFunc& Build) {
  std::string Stage = "parse";
  TORVString Built;
  try {
    TORVTree First(Parse(Text));
    Stage = "build";
    Built = Build(First.get());
    Stage = "parse of the built text";
    TORVTree Second(Parse(Built));
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

::testing::AssertionResult CompiledRoundTrips(const TORVCompiledText& First, const TORVCompileFunc& Compile) {
  TORVCompiledText Second;
  try {
    Second = Compile(First.Built);
  } catch (const std::exception& Error) {
    return ::testing::AssertionFailure() << "the built text does not compile: " << Error.what()
                                         << "\n  built: " << StringToUtf8(First.Built)
                                         << "\n  tree:  " << DumpTokens(First.Tree.get());
  }
  if (!CompareTokens(First.Tree.get(), Second.Tree.get())) {
    return ::testing::AssertionFailure() << "validated trees differ\n  built: " << StringToUtf8(First.Built)
                                         << "\n  first:  " << DumpTokens(First.Tree.get())
                                         << "\n  second: " << DumpTokens(Second.Tree.get());
  }
  if (Second.Built != First.Built) {
    return ::testing::AssertionFailure() << "built again to another text\n  first:  " << StringToUtf8(First.Built)
                                         << "\n  second: " << StringToUtf8(Second.Built);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace orv::test
