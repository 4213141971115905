#include "base/orverror.h"

#include "base/orverrors.h"

#include <utility>

#include "base/orvutf8.h"

namespace orv {

TORVString FormatString(const TORVString& Format, const std::vector<TORVString>& Args) {
  TORVString result;
  result.reserve(Format.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < Format.size(); ++i) {
    const char16_t c = Format[i];
    if (c == u'%' && i + 1 < Format.size() && (Format[i + 1] == u's' || Format[i + 1] == u'S') &&
        next < Args.size()) {
      result += Args[next++];
      ++i;
      continue;
    }
    result += c;
  }
  return result;
}

namespace {

TORVString ComposeMessage(int32_t Code, const TORVString& Msg) {
  if (Code < 1 || Code > 9999) return Msg;
  return FormatString(u"Orvenmark Error #%s ", {AsciiToString(std::to_string(Code))}) + Msg;
}

}  // namespace

EORVBaseException::EORVBaseException(TORVString Message)
    : FMessage(std::move(Message)), FUtf8Message(StringToUtf8(FMessage)) {}

EORVException::EORVException(int32_t Code, const TORVString& Msg)
    : EORVBaseException(ComposeMessage(Code, Msg)), FErrorCode(Code), FErrorMsg(Msg) {}

EORVException::EORVException(int32_t Code, const TORVString& Msg, int32_t Line, int32_t Column)
    : EORVBaseException(ComposeMessage(Code, Msg)),
      FErrorCode(Code),
      FErrorMsg(Msg),
      FErrorLine(Line),
      FErrorColumn(Column) {}

void RaiseAbortException(const TORVString& Msg) { throw EORVAbortException(Msg); }

EORVException MakeError(const TORVErrorDef& Def, const std::vector<TORVString>& Args) {
  return EORVException(Def.Code, FormatString(Def.Format, Args));
}

EORVException MakeError(const TORVErrorDef& Def, const std::vector<TORVString>& Args, int32_t Line,
                        int32_t Column) {
  return EORVException(Def.Code, FormatString(Def.Format, Args), Line, Column);
}

void RaiseError(const TORVErrorDef& Def, const std::vector<TORVString>& Args) { throw MakeError(Def, Args); }

}  // namespace orv
