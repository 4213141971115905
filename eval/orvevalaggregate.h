// The arithmetic that SUM and RUNSUM share: adding a value to a running
// total of the total's own type.
#pragma once

namespace orv {

class TORVValue;

// Sum := Sum + Value by Sum's data type: 32-bit whole numbers for SmallInt
// and Integer, 64 bits for BigInt, extended precision stored as a Double
// for Float, ten-thousandths for Decimal, months or milliseconds for the
// intervals. A NULL Sum counts as 0; Value is never NULL. A total beyond
// its type raises the range error of Sum, an infinite Float the
// floating-point error. Other types are left as they are.
void AddToSum(TORVValue& Sum, TORVValue& Value);

}  // namespace orv
