#include <ctime>

#include <gtest/gtest.h>

#include "platform/emulation.h"
#include "platform/kernel.h"

namespace {

const uint64_t kTicksPerSecond = 10000000;
const uint64_t k1980Ticks = 119600064000000000ull;  // 1980-01-01 00:00 UTC
const uint64_t k2108Ticks = 159992928000000000ull;  // 2108-01-01 00:00 UTC
const uint64_t kUnixEpochTicks = 116444736000000000ull;

FILETIME Ticks(uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) |
         time.dwLowDateTime;
}

WORD DosDate(int year, int month, int day) {
  return static_cast<WORD>(day | (month << 5) | ((year - 1980) << 9));
}

WORD DosTime(int hour, int minute, int second) {
  return static_cast<WORD>((second / 2) | (minute << 5) | (hour << 11));
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }
};

TEST_F(ClockTest, FixedAndRealClock) {
  emu::SetSystemTime(Ticks(k1980Ticks + 5));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  EXPECT_EQ(Ticks(now), k1980Ticks + 5);

  emu::UseRealClock();
  GetSystemTimeAsFileTime(&now);
  const uint64_t unixSeconds = (Ticks(now) - kUnixEpochTicks) / kTicksPerSecond;
  const uint64_t expected = static_cast<uint64_t>(std::time(nullptr));
  EXPECT_LE(unixSeconds, expected + 1);
  EXPECT_GE(unixSeconds + 60, expected);
}

TEST_F(ClockTest, LocalTimeAddsTheOffset) {
  const uint64_t noon = k1980Ticks + 12 * 3600 * kTicksPerSecond;
  struct Case {
    int32_t minutes;
    uint64_t expected;
  } cases[] = {
      {0, noon},
      {60, noon + 3600 * kTicksPerSecond},
      {-330, noon - 330 * 60 * kTicksPerSecond},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minutes);
    emu::SetLocalTimeOffsetMinutes(c.minutes);
    const FILETIME utc = Ticks(noon);
    FILETIME local;
    ASSERT_EQ(FileTimeToLocalFileTime(&utc, &local), TRUE);
    EXPECT_EQ(Ticks(local), c.expected);
  }
  // West of Greenwich the first instant has no local time.
  emu::SetLocalTimeOffsetMinutes(-60);
  const FILETIME first = Ticks(0);
  FILETIME local;
  EXPECT_EQ(FileTimeToLocalFileTime(&first, &local), FALSE);
}

TEST_F(ClockTest, DosRoundTrip) {
  struct Case {
    WORD date;
    WORD time;
  } cases[] = {
      {DosDate(1980, 1, 1), DosTime(0, 0, 0)},
      {DosDate(2000, 2, 29), DosTime(12, 34, 56)},
      {DosDate(2024, 12, 31), DosTime(23, 59, 58)},
      {DosDate(2107, 12, 31), DosTime(23, 59, 58)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.date << " " << c.time);
    FILETIME time;
    ASSERT_EQ(DosDateTimeToFileTime(c.date, c.time, &time), TRUE);
    WORD date = 0;
    WORD clock = 0;
    ASSERT_EQ(FileTimeToDosDateTime(&time, &date, &clock), TRUE);
    EXPECT_EQ(date, c.date);
    EXPECT_EQ(clock, c.time);
  }
  FILETIME first;
  ASSERT_EQ(DosDateTimeToFileTime(DosDate(1980, 1, 1), 0, &first), TRUE);
  EXPECT_EQ(Ticks(first), k1980Ticks);
}

TEST_F(ClockTest, FileTimeToDosTruncatesAndChecksRange) {
  struct Case {
    const char* name;
    uint64_t ticks;
    BOOL ok;
    WORD date;
    WORD time;
  } cases[] = {
      {"first instant", k1980Ticks, TRUE, DosDate(1980, 1, 1), 0},
      {"odd second and a fraction", k1980Ticks + 19 * kTicksPerSecond - 1,
       TRUE, DosDate(1980, 1, 1), DosTime(0, 0, 18)},
      {"last instant", k2108Ticks - 1, TRUE, DosDate(2107, 12, 31),
       DosTime(23, 59, 58)},
      {"just before 1980", k1980Ticks - 1, FALSE, 0, 0},
      {"2108", k2108Ticks, FALSE, 0, 0},
      {"top bit set", 0x8000000000000000ull, FALSE, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FILETIME time = Ticks(c.ticks);
    WORD date = 0;
    WORD clock = 0;
    EXPECT_EQ(FileTimeToDosDateTime(&time, &date, &clock), c.ok);
    if (c.ok) {
      EXPECT_EQ(date, c.date);
      EXPECT_EQ(clock, c.time);
    }
  }
}

TEST_F(ClockTest, DosDateTimeIsValidated) {
  struct Case {
    const char* name;
    WORD date;
    WORD time;
    BOOL ok;
  } cases[] = {
      {"month 0", DosDate(2001, 0, 1), 0, FALSE},
      {"month 13", DosDate(2001, 13, 1), 0, FALSE},
      {"day 0", DosDate(2001, 1, 0), 0, FALSE},
      {"April 31", DosDate(2001, 4, 31), 0, FALSE},
      {"29 February, common year", DosDate(2001, 2, 29), 0, FALSE},
      {"29 February, leap year", DosDate(2004, 2, 29), 0, TRUE},
      {"29 February 2100", DosDate(2100, 2, 29), 0, FALSE},
      {"hour 24", DosDate(2001, 1, 1), DosTime(24, 0, 0), FALSE},
      {"minute 60", DosDate(2001, 1, 1), DosTime(0, 60, 0), FALSE},
      {"seconds/2 of 30", DosDate(2001, 1, 1), DosTime(0, 0, 60), FALSE},
      {"last valid time", DosDate(2001, 1, 1), DosTime(23, 59, 58), TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FILETIME time = Ticks(12345);
    EXPECT_EQ(DosDateTimeToFileTime(c.date, c.time, &time), c.ok);
    if (!c.ok) {
      EXPECT_EQ(Ticks(time), 12345u);
    }
  }
}

TEST_F(ClockTest, CompareFileTimeOrdersByAllSixtyFourBits) {
  struct Case {
    uint64_t first;
    uint64_t second;
    LONG expected;
  } cases[] = {
      {k1980Ticks, k1980Ticks, 0},
      {k1980Ticks, k1980Ticks + 1, -1},
      {k1980Ticks + 1, k1980Ticks, 1},
      // The high word decides, even against a larger low word.
      {0x00000001FFFFFFFFull, 0x0000000200000000ull, -1},
      {0x0000000200000000ull, 0x00000001FFFFFFFFull, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " vs " << c.second);
    const FILETIME a = Ticks(c.first);
    const FILETIME b = Ticks(c.second);
    EXPECT_EQ(CompareFileTime(&a, &b), c.expected);
  }
}

}  // namespace
