// The flags with which each caller of the SQL grammar says what its context
// permits. Every grammar routine passes its caller's options on, adding or
// removing some for its sub-constructs.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

// Option n is bit n of a 32-bit set.
enum TORVParseOption : uint8_t {
  poAllowAggregates,
  poAllowAllColumns,
  poAllowParameters,
  poAllowOutParameters,
  poNoParameters,
  poAllowQueryParameters,
  poAllowQueries,
  poAllowDatabaseUse,
  poAllowExceptionHandling,
  poAllowDatabaseQualifier,
  poAllowSchemaQualifier,
  poAllowTableQualifier,
  poAllowCursorReturn,
  poColumnsRequired,
  poColumnsNotAllowed,
  poAllowDirection,
  poAllowDeclarations,
  poRequireLineTerm,
  poRequireReturn,
  poNoUDFs,
  poNoOrderBy,
  poRequireNamedBlock,
  poNoCollationRef,
  poAllowContains,
  poCheckEndRoutine,
  poAllowRetry,
  poAllowInto,
  poCheckForNotNull,
  poNoRange,
  poAllowRowValues,
  poForceRowValues,
  poConvertDynamic,
};

static_assert(poConvertDynamic == 31, "parse options fill exactly one 32-bit set");

using TORVParseOptions = TORVSet<TORVParseOption, 32>;

// Options with Option removed, for a sub-construct that must not have it.
inline TORVParseOptions OptionsWithout(TORVParseOptions Options, TORVParseOption Option) {
  Options.Exclude(Option);
  return Options;
}

}  // namespace orv
