// The date utilities: encoding, decoding, formats and calendar arithmetic.
#include "gif/Dateutil.h"

#include <gtest/gtest.h>

#include "platform/SysUtils.h"

namespace {

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }

TEST(DateTime, EncodeDecodeRoundTripAcrossTheCalendar) {
  EXPECT_EQ(D(1899, 12, 30), 0.0);
  EXPECT_EQ(D(1900, 1, 1), 2.0);
  EXPECT_EQ(D(2000, 2, 29), 36585.0);
  EXPECT_EQ(D(1, 1, 1), -693593.0);
  EXPECT_EQ(D(9999, 12, 31), 2958465.0);
  for (TDateTime t : {-693593.0, -1.0, 0.0, 59.0, 60.0, 36585.0, 2958465.0}) {
    int y, m, d;
    DecodeDate(t, y, m, d);
    EXPECT_EQ(D(y, m, d), t) << t;
  }
  int y, m, d;
  EXPECT_FALSE(TryDecodeDate(2958466.0, y, m, d));
  EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
  EXPECT_EQ(DayOfWeek(D(2024, 3, 10)), 1);  // a Sunday
}

TEST(DateTime, FormatLetters) {
  TDateTime t = D(2024, 3, 5) + EncodeTime(14, 7, 9, 0);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t), "2024-03-05 14:07:09");
  EXPECT_EQ(FormatDateTime("d/m/yy h:mm", t), "5/3/24 14:07");
  EXPECT_EQ(FormatDateTime("dddd, mmmm d", t), "Tuesday, March 5");
  EXPECT_EQ(FormatDateTime("h:mm am/pm", t), "2:07 pm");
  EXPECT_EQ(FormatDateTime("'at' ddd", t), "at Tue");
}

TEST(Dateutil, StartUpSetsFourDigitYearFromTheShortFormat) {
  std::string saved = FormatSettings().ShortDateFormat;
  FormatSettings().ShortDateFormat = "d.M.yy";
  InitDateutil();
  EXPECT_FALSE(FourDigitYear);
  FormatSettings().ShortDateFormat = saved;
  InitDateutil();
  EXPECT_TRUE(FourDigitYear);  // "M/d/yyyy"
}

TEST(Dateutil, IncDateWrapsMonthsAndLimitsTheDay) {
  struct Case {
    TDateTime from;
    int days, months, years;
    TDateTime to;
  } cases[] = {
      {D(2024, 1, 31), 0, 1, 0, D(2024, 2, 29)},   {D(2023, 1, 31), 0, 1, 0, D(2023, 2, 28)},
      {D(2024, 2, 29), 0, 0, 1, D(2025, 2, 28)},   {D(2024, 11, 15), 0, 3, 0, D(2025, 2, 15)},
      {D(2024, 1, 15), 0, -1, 0, D(2023, 12, 15)}, {D(2024, 3, 31), 0, -13, 0, D(2023, 2, 28)},
      {D(2024, 1, 31), 1, 1, 0, D(2024, 3, 1)},  // the days come after the limit
      {D(2024, 12, 31), 0, 25, 0, D(2027, 1, 31)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IncDate(c.from, c.days, c.months, c.years), c.to)
        << FormatDateTime("yyyy-mm-dd", c.from) << " " << c.months;
  // The time of day stays, also before 1899 where the whole part is negative.
  TDateTime noon = D(2024, 1, 31) + 0.5;
  EXPECT_DOUBLE_EQ(IncMonth(noon, 1), D(2024, 2, 29) + 0.5);
  TDateTime old = ComposeDateTime(D(1850, 5, 31), 0.25);
  EXPECT_DOUBLE_EQ(TimePart(IncMonth(old, 1)), 0.25);
  EXPECT_EQ(ExtractDay(IncMonth(old, 1)), 30);
}

TEST(Dateutil, IncTimeAndNegativeResults) {
  EXPECT_DOUBLE_EQ(IncHour(0.5, 30), 1.75);
  EXPECT_NEAR(IncMinute(0.0, -30), 1 - 30.0 / 1440, 1e-12);  // a negative result gets a day
  EXPECT_NEAR(IncMSec(0.0, 86400000), 1.0, 1e-12);
}

TEST(Dateutil, DifferencesBetweenDates) {
  struct Case {
    TDateTime a, b;
    int days, months, years;
    double monthsBetween;
  } cases[] = {
      {D(2024, 1, 1), D(2024, 1, 1), 0, 0, 0, 0},
      {D(2024, 1, 31), D(2024, 3, 1), 1, 1, 0, 1},
      {D(2023, 12, 20), D(2024, 1, 10), 21, 0, 0, 1},
      {D(2020, 5, 10), D(2024, 3, 5), 26, 9, 3, 12 * 3 + 9 + 1},
      {D(2024, 3, 5), D(2024, 1, 1), 4, 2, 0, 2.25},  // the later date is the end
      {D(2024, 1, 1), D(2024, 1, 8), 7, 0, 0, 0.5},
      {D(2024, 1, 1), D(2024, 1, 16), 15, 0, 0, 0.75},
      {D(2024, 1, 1), D(2024, 1, 2), 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int d, m, y;
    DateDiff(c.a, c.b, d, m, y);
    EXPECT_EQ(d, c.days) << FormatDateTime("yyyy-mm-dd", c.a);
    EXPECT_EQ(m, c.months) << FormatDateTime("yyyy-mm-dd", c.a);
    EXPECT_EQ(y, c.years) << FormatDateTime("yyyy-mm-dd", c.a);
    EXPECT_DOUBLE_EQ(MonthsBetween(c.a, c.b), c.monthsBetween) << FormatDateTime("yyyy-mm-dd", c.a);
  }
  EXPECT_EQ(DaysInPeriod(D(2024, 3, 1), D(2024, 2, 1)), 30);
  EXPECT_EQ(DaysInPeriod(D(2024, 3, 1), 1e9), 0);
  EXPECT_EQ(DaysBetween(D(2024, 3, 1), D(2024, 2, 1)), 30);
  EXPECT_EQ(DaysBetween(D(2024, 2, 1), D(2024, 3, 1)), 0);
  EXPECT_TRUE(ValidDate(NullDate));
  EXPECT_FALSE(ValidDate(-1e7));
}

TEST(Dateutil, DateOrderFormatsAndMasks) {
  EXPECT_EQ(GetDateOrder("M/d/yyyy"), doMDY);
  EXPECT_EQ(GetDateOrder("dd.MM.yy"), doDMY);
  EXPECT_EQ(GetDateOrder("yyyy-MM-dd"), doYMD);
  EXPECT_EQ(GetDateOrder("ee/MM/dd"), doYMD);
  EXPECT_EQ(GetDateOrder("/"), doMDY);
  EXPECT_EQ(DefDateFormat(true), "MM/DD/YYYY");
  EXPECT_EQ(DefDateFormat(false), "MM/DD/YY");
  EXPECT_EQ(DefDateMask('_', true), "!99/99/9999;1;_");
  EXPECT_EQ(DefDateMask(' ', false), "!99/99/99;1; ");
  std::string saved = FormatSettings().ShortDateFormat;
  FormatSettings().ShortDateFormat = "yyyy/MM/dd";
  EXPECT_EQ(DefDateFormat(true), "YYYY/MM/DD");
  EXPECT_EQ(DefDateMask('_', true), "!9999/99/99;1;_");
  FormatSettings().ShortDateFormat = saved;
  EXPECT_EQ(FormatLongDate(D(2024, 3, 5)), "Tuesday, March 05, 2024");
  EXPECT_EQ(FormatLongDateTime(D(2024, 3, 5) + EncodeTime(9, 5, 0, 0)), "Tuesday, March 05, 2024 9:05:00 AM");
}

TEST(Dateutil, ParsingByFormat) {
  int cy = CurrentYear();
  struct Case {
    const char* format;
    const char* text;
    TDateTime expected;
  } cases[] = {
      {"M/d/yyyy", "3/5/2024", D(2024, 3, 5)},     {"dd.MM.yyyy", "05.03.2024", D(2024, 3, 5)},
      {"yyyy-MM-dd", "2024-03-05", D(2024, 3, 5)}, {"dd.MM.yyyy", "5 March 2024", D(2024, 3, 5)},
      {"M/d/yyyy", "Mar 5, 2024", D(2024, 3, 5)},  {"M/d/yyyy", "3/5", D(cy, 3, 5)},
      {"dd.MM.yyyy", "5.3", D(cy, 3, 5)},
  };
  for (const Case& c : cases) EXPECT_EQ(StrToDateFmt(c.format, c.text), c.expected) << c.text;
  for (const char* bad : {"", "2/30/2024", "13/1/2024", "1/2/3/4", "5 Smarch 2024", "1/123456/2024"}) {
    EXPECT_THROW(StrToDateFmt("M/d/yyyy", bad), EConvertError) << bad;
    EXPECT_EQ(StrToDateFmtDef("M/d/yyyy", bad, -7.0), -7.0) << bad;
  }
  try {
    StrToDateFmt("M/d/yyyy", "nope");
  } catch (const EConvertError& e) { EXPECT_STREQ(e.what(), "'nope' is not a valid date"); }
  EXPECT_EQ(StrToDateDef("3/5/2024", 0), D(2024, 3, 5));
}

TEST(Dateutil, TwoDigitYearsFallIntoTheCenturyWindow) {
  int cy = CurrentYear();
  uint8_t saved = CenturyOffset;
  for (int offset : {60, 0, 99}) {
    CenturyOffset = uint8_t(offset);
    int start = cy - offset;
    for (int yy : {0, 1, 49, 50, 99}) {
      int year = ExtractYear(StrToDateFmt("M/d/yy", "1/1/" + std::to_string(yy)));
      EXPECT_EQ(year % 100, yy);
      EXPECT_GE(year, start) << offset << " " << yy;
      EXPECT_LT(year, start + 100) << offset << " " << yy;
    }
  }
  CenturyOffset = saved;
  // Four digits are taken as they stand.
  EXPECT_EQ(ExtractYear(StrToDateFmt("M/d/yyyy", "1/1/0049")), 49);
}

TEST(Dateutil, MonthNamesAndRelativeDays) {
  EXPECT_EQ(MonthFromName("september"), 9);
  EXPECT_EQ(MonthFromName("SEP"), 9);
  EXPECT_EQ(MonthFromName("Septem", 3), 9);
  EXPECT_EQ(MonthFromName("Sept"), 0);
  EXPECT_EQ(MonthFromName(""), 0);
  TDateTime next = FirstDayOfNextMonth(), prev = FirstDayOfPrevMonth(), last = LastDayOfPrevMonth();
  EXPECT_EQ(ExtractDay(next), 1);
  EXPECT_EQ(ExtractDay(prev), 1);
  EXPECT_EQ(last + 1, IncMonth(prev, 1));
  EXPECT_GT(next, Date());
  EXPECT_EQ(CutTime(D(2024, 3, 5) + 0.75), D(2024, 3, 5));
}

}  // namespace
