// The system clock and the file-time and DOS date/time conversions.
#include <chrono>

#include "platform/emulation.h"
#include "platform/internal.h"
#include "platform/kernel.h"

namespace {

const uint64_t kTicksPerSecond = 10000000;
const uint64_t kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01.
const int64_t kFileTimeEpochToUnixDays = 134774;
// File times with the top bit set are invalid for every conversion.
const uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

struct ClockState {
  bool fixed = false;
  uint64_t fixedTicks = 0;
  int32_t offsetMinutes = 0;
};

ClockState& State() {
  static ClockState state;
  return state;
}

uint64_t ToTicks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) |
         time.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

uint64_t RealClockTicks() {
  const auto sinceUnix = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  const int64_t unixEpochTicks =
      kFileTimeEpochToUnixDays * static_cast<int64_t>(kSecondsPerDay) *
      static_cast<int64_t>(kTicksPerSecond);
  return static_cast<uint64_t>(unixEpochTicks + sinceUnix.count() / 100);
}

}  // namespace

void GetSystemTimeAsFileTime(FILETIME* now) {
  const ClockState& state = State();
  *now = FromTicks(state.fixed ? state.fixedTicks : RealClockTicks());
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (utc == nullptr || local == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int64_t offsetTicks = static_cast<int64_t>(State().offsetMinutes) *
                              60 * static_cast<int64_t>(kTicksPerSecond);
  const uint64_t ticks = ToTicks(*utc);
  if (ticks > kMaxFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool underflow =
      offsetTicks < 0 && ticks < static_cast<uint64_t>(-offsetTicks);
  const bool overflow =
      offsetTicks > 0 && ticks > kMaxFileTime - static_cast<uint64_t>(offsetTicks);
  if (underflow || overflow) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *local = FromTicks(ticks + static_cast<uint64_t>(offsetTicks));
  return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* time, WORD* dosDate,
                           WORD* dosTime) {
  if (time == nullptr || dosDate == nullptr || dosTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const uint64_t ticks = ToTicks(*time);
  if (ticks > kMaxFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Fractions of a second are dropped, never rounded.
  const uint64_t seconds = ticks / kTicksPerSecond;
  const int64_t days = static_cast<int64_t>(seconds / kSecondsPerDay);
  const unsigned secondOfDay = static_cast<unsigned>(seconds % kSecondsPerDay);
  const emu::internal::CivilDate date =
      emu::internal::CivilFromDays(days - kFileTimeEpochToUnixDays);
  if (!emu::internal::PackDosDateTime(date, secondOfDay / 3600,
                                      secondOfDay / 60 % 60, secondOfDay % 60,
                                      dosDate, dosTime)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* time) {
  const unsigned day = dosDate & 0x1F;
  const unsigned month = (dosDate >> 5) & 0x0F;
  const int64_t year = 1980 + (dosDate >> 9);
  const unsigned twoSeconds = dosTime & 0x1F;
  const unsigned minute = (dosTime >> 5) & 0x3F;
  const unsigned hour = dosTime >> 11;
  if (time == nullptr || month < 1 || month > 12 || day < 1 ||
      day > emu::internal::DaysInMonth(year, month) || hour >= 24 ||
      minute >= 60 || twoSeconds >= 30) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int64_t days = emu::internal::DaysFromCivil(year, month, day) +
                       kFileTimeEpochToUnixDays;
  const uint64_t seconds = static_cast<uint64_t>(days) * kSecondsPerDay +
                           hour * 3600u + minute * 60u + twoSeconds * 2u;
  *time = FromTicks(seconds * kTicksPerSecond);
  return TRUE;
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
  const uint64_t a = ToTicks(*first);
  const uint64_t b = ToTicks(*second);
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

namespace emu {

void SetSystemTime(const FILETIME& utc) {
  State().fixed = true;
  State().fixedTicks = ToTicks(utc);
}

void UseRealClock() { State().fixed = false; }

void SetLocalTimeOffsetMinutes(int32_t minutes) {
  State().offsetMinutes = minutes;
}

namespace internal {

void ResetClock() { State() = ClockState(); }

}  // namespace internal
}  // namespace emu
