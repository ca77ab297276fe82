// Calendar arithmetic shared by the OLE date and the file-time conversions.
#include "platform/internal.h"

namespace emu {
namespace internal {

// Days-from-civil and its inverse on eras of 400 years (146097 days), which
// keeps the arithmetic exact for any year without tables.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear =
      (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra =
      yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear =
      dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  date.month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3
                                                     : monthIndex - 9);
  date.year = yearOfEra + era * 400 + (date.month <= 2);
  return date;
}

unsigned DaysInMonth(int64_t year, unsigned month) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30,
                                     31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month != 2) return kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return leap ? 29 : 28;
}

bool PackDosDateTime(const CivilDate& date, unsigned hour, unsigned minute,
                     unsigned second, WORD* dosDate, WORD* dosTime) {
  if (date.year < 1980 || date.year > 2107) return false;
  // Two-second resolution: an odd second is cut to the even one below.
  *dosDate = static_cast<WORD>(date.day | (date.month << 5) |
                               ((date.year - 1980) << 9));
  *dosTime = static_cast<WORD>((second / 2) | (minute << 5) | (hour << 11));
  return true;
}

}  // namespace internal
}  // namespace emu
