// Parameters of statements, procedures, scripts and functions: named typed
// values with a direction, and the lists that carry them in a stream.
#pragma once

#include <cstdint>

#include "core/orvcontainedvalue.h"
#include "base/orvtype.h"
#include "core/orvvalues.h"

namespace orv {

class TORVMemoryStream;

// Parameter directions; persisted in parameter records.
using TORVParamType = int32_t;
inline constexpr TORVParamType ptUnknown = 0;
inline constexpr TORVParamType ptInput = 1;
inline constexpr TORVParamType ptOutput = 2;
inline constexpr TORVParamType ptInputOutput = 3;
inline constexpr TORVParamType ptResult = 4;

// The defined length of a parameter limits what a VarChar or VarByte
// parameter takes. Conversion errors name the parameter.
//
// Parameter record, all integers 4 bytes little-endian, strings as the
// stream writes them; the type part only with type information:
//   parameter type, name, data type, subtype, defined length, scale,
//   collation, then always the value's own record (NULL flag, image).
class TORVParamValue : public TORVContainedValue {
 public:
  explicit TORVParamValue(int32_t CharacterSetToUse);

  [[noreturn]] void TruncationError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void RangeError(const TORVString& Value, bool IncludeValue) override;
  [[noreturn]] void ConversionError(const TORVString& Value, bool IncludeValue) override;

  // The record with its type information.
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;
  virtual void Save(TORVMemoryStream& Stream, bool SaveTypeInfo);
  // With type information the type is applied before the value is read, so
  // that the value record is read in it.
  virtual void Load(TORVMemoryStream& Stream, bool LoadTypeInfo);

  TORVParamType GetParamType() const { return FParamType; }
  void SetParamType(TORVParamType Value) { FParamType = Value; }
  const TORVString& GetName() const { return FName; }
  void SetName(const TORVString& Value) { FName = Value; }

 private:
  [[noreturn]] void RaiseParamError(const TORVString& Detail);

  TORVParamType FParamType = ptUnknown;
  TORVString FName;
};

// An owning list of parameters.
class TORVParamValues : public TORVValues {
 public:
  explicit TORVParamValues(int32_t CharacterSetToUse);

  // A new parameter in the list's character set.
  TORVValue* CreateValueObject(int32_t Index) override;

  // Raises ORV_NOT_FOUND_ERROR naming the parameter.
  [[noreturn]] virtual void ParamNotFoundError(const TORVString& ParamName);
  // The value records of the output, input/output and result parameters in
  // list order; the reading side must hold the same parameter list.
  virtual void SaveOutputParams(TORVMemoryStream& Stream);
  virtual void LoadOutputParams(TORVMemoryStream& Stream);

  // The entry at Index as a parameter; an entry that is not one raises
  // std::logic_error.
  TORVParamValue* GetParams(int32_t Index) const;
  // The first parameter whose name matches without regard to case and
  // trailing blanks; an unknown name raises ParamNotFoundError.
  TORVParamValue* FindByName(const TORVString& ParamName);
  // Makes a parameter, appends it and returns it.
  TORVParamValue* CreateNew();
  // Frees and removes every parameter of an owning list; a list that refers
  // to another list's parameters is left as it is.
  void RemoveAll();

 protected:
  TORVParamValues(int32_t CharacterSetToUse, bool OwnsValues);
};

// Refers to parameters that belong to another list.
class TORVReferencedParamValues : public TORVParamValues {
 public:
  explicit TORVReferencedParamValues(int32_t CharacterSetToUse);
};

}  // namespace orv
