// Data types as written in definitions, declarations and casts: the type
// code must be known, a length must be a positive integer no larger than
// the largest length, and COLLATE names bind to their collations.
#include <cstdint>

#include "core/orvtypefunc.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

void TORVExprValidater::ValidateDataType(TORVExprToken* DataTypeToken) {
  // A GUID has the length of its text (character) or of its bytes.
  auto ValidateLength = [&](int32_t GuidLength) {
    if (DataTypeToken->FSubType == stGUID) {
      DataTypeToken->SetLength(GuidLength);
      return;
    }
    TORVExprToken* Length = SlotOf(DataTypeToken, DataTypeLengthSlot);
    if (Length == nullptr) return;
    CheckIntegerTypes(Length);
    // Read in 64 bits, so that a length past the largest is refused rather
    // than narrowed.
    int64_t Value = 0;
    if (!ConstantInteger(Length, Value) || Value <= 0 || Value > MaxLength) {
      InvalidToken(Length, u"an invalid length was specified");
    }
    DataTypeToken->SetLength(static_cast<int32_t>(Value));
  };
  auto ValidateCollation = [&] {
    TORVExprToken* Collation = SlotOf(DataTypeToken, DataTypeCollationSlot);
    if (Collation == nullptr) return;
    BindReference(Collation, ttCOLLATIONREF, true);
    DataTypeToken->FCollation = Collation->FCollation;
  };

  switch (DataTypeToken->FDataType) {
    case dtCharacter:
      ValidateLength(38);
      ValidateCollation();
      return;
    case dtBytes:
      ValidateLength(16);
      return;
    case dtLargeObject:
      if (DataTypeToken->FSubType == stClob) ValidateCollation();
      return;
    case dtDecimal:
      if (TORVExprToken* Scale = SlotOf(DataTypeToken, DataTypeScaleSlot)) {
        CheckIntegerTypes(Scale);
        // The type keeps its scale when the one written is not one a
        // Decimal can have.
        int64_t Value = 0;
        if (ConstantInteger(Scale, Value) && Value >= 0 && Value <= 4) DataTypeToken->SetScale(static_cast<int32_t>(Value));
      }
      return;
    default:
      if (DataTypeToken->FDataType < dtBoolean || DataTypeToken->FDataType > dtDayTimeInterval) {
        InvalidToken(DataTypeToken, u"an invalid or unknown data type was specified");
      }
      return;
  }
}

}  // namespace orv
