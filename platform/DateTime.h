// Dates and times as the component library holds them: a TDateTime counts days since
// 30 December 1899, its fraction is the time of day. Before that day the whole part is
// negative and the fraction still counts forward from midnight (-1.25 is 29 December 1899,
// 6:00). The format settings are fixed, so nothing depends on the process locale.
#pragma once
#include <array>
#include <cstdint>
#include <string>

using TDateTime = double;

constexpr double HoursPerDay = 24, MinsPerDay = 24 * 60, SecsPerDay = MinsPerDay * 60,
                 MSecsPerDay = SecsPerDay * 1000;

// The run-time library's format settings (United States defaults).
struct TFormatSettings {
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM dd, yyyy";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string TimeAMString = "AM", TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
};
TFormatSettings& FormatSettings();

bool IsLeapYear(int year);
int MonthDays(int year, int month);  // 0 for a month outside 1..12
// Year 1 to 9999, month 1 to 12, day within the month.
bool IsValidDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);  // raises EConvertError
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeTime(int hour, int min, int sec, int msec);  // raises EConvertError
// False (and zeros) for a value outside the years 1 to 9999.
bool TryDecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeDate(TDateTime date, int& year, int& month, int& day);  // raises EConvertError
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime date);  // 1 = Sunday .. 7 = Saturday
// The day and the time of day apart, whatever the sign of the value.
double DatePart(TDateTime dt);
double TimePart(TDateTime dt);  // 0 <= result < 1
TDateTime ComposeDateTime(double day, double time);

TDateTime Now();  // local time
TDateTime Date();
TDateTime Time();

// The format letters of the run-time library: d dd ddd dddd ddddd (short date) dddddd (long
// date), m mm mmm mmmm (n nn when after an hour), yy yyyy, h hh, n nn, s ss, z zzz, t (short
// time), tt (long time), c, am/pm, a/p, ampm, "/" and ":" for the separators, quoted text.
std::string FormatDateTime(const std::string& format, TDateTime dt);
std::string DateToStr(TDateTime dt);
