// The engine exception and the message formatter every message goes through.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "base/orvtype.h"

namespace orv {

// Fills "%s"/"%S" placeholders with Args in order. Surplus placeholders stay as
// written, inserted text is never rescanned, and any other "%" is plain text.
TORVString FormatString(const TORVString& Format, const std::vector<TORVString>& Args);

// Root of every exception the engine raises; what() is the full text in UTF-8.
class EORVBaseException : public std::exception {
 public:
  explicit EORVBaseException(TORVString Message);
  const char* what() const noexcept override { return FUtf8Message.c_str(); }
  const TORVString& Message() const { return FMessage; }

 private:
  TORVString FMessage;
  std::string FUtf8Message;
};

// The one exception through which the engine reports failures. Codes 1..9999
// carry the prefix "Orvenmark Error #<code> " in the full text; the bare
// message never does, so re-raising from the fields never doubles it.
class EORVException : public EORVBaseException {
 public:
  EORVException(int32_t Code, const TORVString& Msg);
  EORVException(int32_t Code, const TORVString& Msg, int32_t Line, int32_t Column);

  int32_t ErrorCode() const { return FErrorCode; }
  const TORVString& ErrorMsg() const { return FErrorMsg; }
  int32_t ErrorLine() const { return FErrorLine; }
  int32_t ErrorColumn() const { return FErrorColumn; }

 private:
  int32_t FErrorCode;
  TORVString FErrorMsg;
  int32_t FErrorLine = 0;
  int32_t FErrorColumn = 0;
};

// Aborts a long operation (a lost connection, a cancelled request); handlers
// tell it apart from EORVException.
class EORVAbortException : public EORVBaseException {
 public:
  explicit EORVAbortException(const TORVString& Msg) : EORVBaseException(Msg) {}
};

[[noreturn]] void RaiseAbortException(const TORVString& Msg);

}  // namespace orv
