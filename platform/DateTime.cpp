#include "platform/DateTime.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>

#include "platform/SysUtils.h"

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int MonthDays(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= MonthDays(year, month);
}

namespace {
// Days from 1 January of year 1 to the given date (proleptic Gregorian calendar).
int64_t DayNumber(int year, int month, int day) {
  int64_t n = day;
  for (int m = 1; m < month; ++m) n += MonthDays(year, m);
  int64_t y = year - 1;
  return n + y * 365 + y / 4 - y / 100 + y / 400;
}
constexpr int64_t kDelta = 693594;  // DayNumber(1899, 12, 30)
}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (!IsValidDate(year, month, day)) return false;
  date = double(DayNumber(year, month, day) - kDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
    return false;
  time = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

double DatePart(TDateTime dt) { return std::trunc(dt); }
double TimePart(TDateTime dt) { return std::fabs(dt - std::trunc(dt)); }
TDateTime ComposeDateTime(double day, double time) { return day < 0 ? day - time : day + time; }

bool TryDecodeDate(TDateTime date, int& year, int& month, int& day) {
  year = month = day = 0;
  if (!std::isfinite(date)) return false;
  double whole = std::trunc(date);
  if (whole < -693593.0 || whole > 2958465.0) return false;  // 1.1.1 .. 31.12.9999
  int64_t n = int64_t(whole) + kDelta - 1;                   // days since 1.1.1, from 0
  int64_t y400 = n / 146097;
  n %= 146097;
  int64_t y100 = std::min<int64_t>(n / 36524, 3);
  n -= y100 * 36524;
  int64_t y4 = n / 1461;
  n %= 1461;
  int64_t y1 = std::min<int64_t>(n / 365, 3);
  n -= y1 * 365;
  year = int(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  month = 1;
  while (n >= MonthDays(year, month)) n -= MonthDays(year, month++);
  day = int(n + 1);
  return true;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  if (!TryDecodeDate(date, year, month, day)) throw EConvertError("Invalid argument to date decode");
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
  int64_t ms = int64_t(std::llround(TimePart(time) * MSecsPerDay));
  if (ms >= int64_t(MSecsPerDay)) ms = int64_t(MSecsPerDay) - 1;
  hour = int(ms / 3600000);
  min = int(ms / 60000 % 60);
  sec = int(ms / 1000 % 60);
  msec = int(ms % 1000);
}

int DayOfWeek(TDateTime date) {
  int64_t d = int64_t(std::trunc(date));
  // 30 December 1899 was a Saturday.
  return int(((d - 1) % 7 + 7) % 7) + 1;
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t t = ts.tv_sec;
  tm local{};
  localtime_r(&t, &local);
  TDateTime d = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return d + EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), int(ts.tv_nsec / 1000000));
}

TDateTime Date() { return std::trunc(Now()); }
TDateTime Time() { return TimePart(Now()); }

namespace {

bool StartsCaseBlind(const std::string& s, size_t i, const char* what) {
  for (size_t k = 0; what[k]; ++k)
    if (i + k >= s.size() || (s[i + k] | 0x20) != (what[k] | 0x20)) return false;
  return true;
}

std::string Pad(int v, int digits) {
  std::string s = std::to_string(v);
  while (int(s.size()) < digits) s.insert(s.begin(), '0');
  return s;
}

void FormatInto(std::string& out, const std::string& f, TDateTime dt, int depth) {
  const TFormatSettings& fs = FormatSettings();
  int y = 0, mo = 0, d = 0, h, mi, s, ms;
  TryDecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  bool afterHour = false;
  // An am/pm marker anywhere makes the hours 12-hour.
  bool twelve = false;
  for (size_t k = 0; k < f.size(); ++k)
    if (StartsCaseBlind(f, k, "am/pm") || StartsCaseBlind(f, k, "a/p") || StartsCaseBlind(f, k, "ampm"))
      twelve = true;
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char lc = char(c | 0x20);
    size_t run = 1;
    while (i + run < f.size() && (f[i + run] | 0x20) == lc && std::isalpha((unsigned char)c)) ++run;
    if (c == '"' || c == '\'') {
      size_t end = f.find(c, i + 1);
      if (end == std::string::npos) end = f.size();
      out += f.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (StartsCaseBlind(f, i, "am/pm")) {
      out += h < 12 ? (f[i] == 'A' ? "AM" : "am") : (f[i] == 'A' ? "PM" : "pm");
      i += 5;
      continue;
    }
    if (StartsCaseBlind(f, i, "a/p")) {
      out += h < 12 ? (f[i] == 'A' ? "A" : "a") : (f[i] == 'A' ? "P" : "p");
      i += 3;
      continue;
    }
    if (StartsCaseBlind(f, i, "ampm")) {
      out += h < 12 ? fs.TimeAMString : fs.TimePMString;
      i += 4;
      continue;
    }
    switch (lc) {
      case 'd':
        if (run == 1) out += std::to_string(d);
        else if (run == 2) out += Pad(d, 2);
        else if (run == 3) out += fs.ShortDayNames[size_t(DayOfWeek(dt) - 1)];
        else if (run == 4) out += fs.LongDayNames[size_t(DayOfWeek(dt) - 1)];
        else if (depth < 2) FormatInto(out, run == 5 ? fs.ShortDateFormat : fs.LongDateFormat, dt, depth + 1);
        break;
      case 'm':
        if (afterHour && run <= 2) {
          out += run == 1 ? std::to_string(mi) : Pad(mi, 2);
          afterHour = false;
        } else if (run == 1) out += std::to_string(mo);
        else if (run == 2) out += Pad(mo, 2);
        else if (mo >= 1 && run == 3) out += fs.ShortMonthNames[size_t(mo - 1)];
        else if (mo >= 1) out += fs.LongMonthNames[size_t(mo - 1)];
        break;
      case 'y': out += run <= 2 ? Pad(y % 100, 2) : Pad(y, 4); break;
      case 'h': {
        int hh = h;
        if (twelve) hh = h % 12 == 0 ? 12 : h % 12;
        out += run == 1 ? std::to_string(hh) : Pad(hh, 2);
        afterHour = true;
        i += run;
        continue;
      }
      case 'n': out += run == 1 ? std::to_string(mi) : Pad(mi, 2); break;
      case 's': out += run == 1 ? std::to_string(s) : Pad(s, 2); break;
      case 'z': out += run < 3 ? std::to_string(ms) : Pad(ms, 3); break;
      case 't':
        if (depth < 2) FormatInto(out, run == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, depth + 1);
        break;
      case 'c':
        if (depth < 2) {
          FormatInto(out, fs.ShortDateFormat, dt, depth + 1);
          if (TimePart(dt) != 0) {
            out += ' ';
            FormatInto(out, fs.LongTimeFormat, dt, depth + 1);
          }
        }
        break;
      case '/': out += fs.DateSeparator; break;
      case ':': out += fs.TimeSeparator; break;
      default: out.append(run, c); break;
    }
    i += run;
  }
}

}  // namespace

std::string FormatDateTime(const std::string& format, TDateTime dt) {
  std::string out;
  FormatInto(out, format.empty() ? "c" : format, dt, 0);
  return out;
}

std::string DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
