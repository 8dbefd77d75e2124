// Date arithmetic, date parsing and default date formats over the platform's TDateTime.
#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "platform/DateTime.h"

enum TDateOrder { doMDY, doDMY, doYMD };
enum TDayOfWeekName { Sun, Mon, Tue, Wed, Thu, Fri, Sat };
using TDaysOfWeek = std::set<TDayOfWeekName>;

// A two-digit year falls into the hundred years that begin CenturyOffset years before the
// current year.
extern uint8_t CenturyOffset;
extern TDateTime NullDate;
// Set at start-up (InitDateutil) from the short date format.
extern bool FourDigitYear;
void InitDateutil();

// IsLeapYear is the platform's.
int DaysPerMonth(int year, int month);
TDateTime FirstDayOfNextMonth();
TDateTime FirstDayOfPrevMonth();
TDateTime LastDayOfPrevMonth();
int ExtractDay(TDateTime date);
int ExtractMonth(TDateTime date);
int ExtractYear(TDateTime date);
int CurrentYear();
TDateTime CutTime(TDateTime date);

// Years and months first (months past 12 or below 1 wrap into the year, the day is limited
// to the new month's length), then the days; the time of day is kept.
TDateTime IncDate(TDateTime date, int days, int months, int years);
TDateTime IncDay(TDateTime date, int delta);
TDateTime IncMonth(TDateTime date, int delta);
TDateTime IncYear(TDateTime date, int delta);
// A negative result gets one day added.
TDateTime IncTime(TDateTime time, int hours, int minutes, int seconds, int msecs);
TDateTime IncHour(TDateTime time, int delta);
TDateTime IncMinute(TDateTime time, int delta);
TDateTime IncSecond(TDateTime time, int delta);
TDateTime IncMSec(TDateTime time, int delta);

// The difference with the later date taken as the end.
void DateDiff(TDateTime date1, TDateTime date2, int& days, int& months, int& years);
double MonthsBetween(TDateTime date1, TDateTime date2);
// Inclusive count of days; 0 when either date is outside the years 1 to 9999.
int64_t DaysInPeriod(TDateTime date1, TDateTime date2);
// date1 - date2 + 1, never below 0.
int64_t DaysBetween(TDateTime date1, TDateTime date2);
bool ValidDate(TDateTime date);

TDateOrder GetDateOrder(const std::string& dateFormat);
// 1 to 12 for a full or short month name (case-blind), 0 otherwise.
int MonthFromName(const std::string& name, int maxLen = 0);

// Parses day, month and year (numbers or a month name, in the format's order) separated by
// anything else; a missing year is the current one, a two-digit year goes through
// CenturyOffset. Raises EConvertError "'...' is not a valid date".
TDateTime StrToDateFmt(const std::string& dateFormat, const std::string& s);
TDateTime StrToDateDef(const std::string& s, TDateTime def);
TDateTime StrToDateFmtDef(const std::string& dateFormat, const std::string& s, TDateTime def);

std::string DefDateFormat(bool fourDigitYear);
std::string DefDateMask(char blanksChar, bool fourDigitYear);
std::string FormatLongDate(TDateTime value);
std::string FormatLongDateTime(TDateTime value);
