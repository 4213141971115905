#include "core/orvorigin.h"

#include <vector>

#include "core/orvstrings.h"

namespace orv {

TORVString BuildOrigin(const TORVString& Database, const TORVString& Schema, const TORVString& Table,
                       const TORVString& Column, const TORVString& DefaultSchema) {
  TORVString Result;
  if (!Database.empty()) {
    Result = Database + u"." + (Schema.empty() ? DefaultSchema : Schema) + u".";
  } else if (!Schema.empty() && !SameString(Schema, DefaultSchema)) {
    Result = Schema + u".";
  }
  return Result + Table + u"." + Column;
}

void ParseOrigin(const TORVString& Origin, TORVString& Database, TORVString& Schema, TORVString& Table,
                 TORVString& Column) {
  std::vector<TORVString> Parts;
  std::size_t Start = 0;
  while (Parts.size() < 4) {
    const std::size_t Dot = Origin.find(u'.', Start);
    Parts.push_back(Origin.substr(Start, Dot == TORVString::npos ? TORVString::npos : Dot - Start));
    if (Dot == TORVString::npos) break;
    Start = Dot + 1;
  }
  TORVString* Outputs[4] = {&Database, &Schema, &Table, &Column};
  for (TORVString* Output : Outputs) Output->clear();
  const std::size_t First = 4 - Parts.size();
  for (std::size_t K = 0; K < Parts.size(); ++K) *Outputs[First + K] = Parts[K];
}

}  // namespace orv
