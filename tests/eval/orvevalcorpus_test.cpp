#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/eval/orvevaltest.h"

namespace orv {
namespace {

// Every "evaluate" case of the SQL corpus gives its value or its error.
TEST(EvalCorpus, EveryEvaluateCaseGivesItsValueOrError) {
  int32_t Cases = 0;
  for (const test::TORVSqlCorpusCase& Case : test::ReadSqlCorpus()) {
    if (Case.Kind != "evaluate") continue;
    ++Cases;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    const bool Tree = std::find(Case.Options.begin(), Case.Options.end(), "tree") != Case.Options.end();
    EXPECT_EQ(test::EvaluateForCorpus(Case.Sql, Tree), Case.ExpectedLine);
  }
  EXPECT_GT(Cases, 0);
}

}  // namespace
}  // namespace orv
