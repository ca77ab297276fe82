// Shared pieces of the emulation's own .cpp files; not part of the platform
// interface.  Each source keeps its state in a function-local object and
// exposes a reset hook that emu::Reset() calls.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace emu {
namespace internal {

void ResetCom();
void ResetOleAut();
void ResetKernel();
void ResetCodePage();
void ResetClock();
void ResetRegistry();
void ResetUser();

// Proleptic Gregorian calendar on a count of days since 1970-01-01.
struct CivilDate {
  int64_t year;
  unsigned month;  // 1..12
  unsigned day;    // 1..31
};
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
CivilDate CivilFromDays(int64_t days);
unsigned DaysInMonth(int64_t year, unsigned month);

// The DOS date/time encoding: valid for the years 1980 to 2107.
bool PackDosDateTime(const CivilDate& date, unsigned hour, unsigned minute,
                     unsigned second, WORD* dosDate, WORD* dosTime);

}  // namespace internal
}  // namespace emu
