#include "gif/Dateutil.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "platform/SysUtils.h"

uint8_t CenturyOffset = 60;
TDateTime NullDate = 0.0;
bool FourDigitYear = false;

void InitDateutil() {
  FourDigitYear = UpperCase(FormatSettings().ShortDateFormat).find("YYYY") != std::string::npos;
}

int DaysPerMonth(int year, int month) { return MonthDays(year, month); }

namespace {
struct TYmd {
  int y = 0, m = 0, d = 0;
};
TYmd Split(TDateTime date) {
  TYmd r;
  DecodeDate(date, r.y, r.m, r.d);
  return r;
}
}  // namespace

TDateTime FirstDayOfNextMonth() {
  TYmd t = Split(Date());
  return t.m == 12 ? EncodeDate(t.y + 1, 1, 1) : EncodeDate(t.y, t.m + 1, 1);
}

TDateTime FirstDayOfPrevMonth() {
  TYmd t = Split(Date());
  return t.m == 1 ? EncodeDate(t.y - 1, 12, 1) : EncodeDate(t.y, t.m - 1, 1);
}

TDateTime LastDayOfPrevMonth() {
  TYmd t = Split(Date());
  return EncodeDate(t.y, t.m, 1) - 1;
}

int ExtractDay(TDateTime date) { return Split(date).d; }
int ExtractMonth(TDateTime date) { return Split(date).m; }
int ExtractYear(TDateTime date) { return Split(date).y; }
int CurrentYear() { return Split(Now()).y; }
TDateTime CutTime(TDateTime date) { return DatePart(date); }

TDateTime IncDate(TDateTime date, int days, int months, int years) {
  TYmd t = Split(date);
  int64_t year = int64_t(t.y) + years + months / 12;
  int month = t.m + months % 12;
  if (month < 1) {
    month += 12;
    --year;
  } else if (month > 12) {
    month -= 12;
    ++year;
  }
  if (year < 1 || year > 9999) throw EConvertError("Invalid argument to date encode");
  int day = std::min(t.d, DaysPerMonth(int(year), month));
  return ComposeDateTime(EncodeDate(int(year), month, day) + days, TimePart(date));
}

TDateTime IncDay(TDateTime date, int delta) { return date + delta; }
TDateTime IncMonth(TDateTime date, int delta) { return IncDate(date, 0, delta, 0); }
TDateTime IncYear(TDateTime date, int delta) { return IncDate(date, 0, 0, delta); }

TDateTime IncTime(TDateTime time, int hours, int minutes, int seconds, int msecs) {
  TDateTime r = time + hours / 24 +
                ((hours % 24) * 3600000.0 + minutes * 60000.0 + seconds * 1000.0 + msecs) / MSecsPerDay;
  if (r < 0) r += 1;
  return r;
}

TDateTime IncHour(TDateTime time, int delta) { return IncTime(time, delta, 0, 0, 0); }
TDateTime IncMinute(TDateTime time, int delta) { return IncTime(time, 0, delta, 0, 0); }
TDateTime IncSecond(TDateTime time, int delta) { return IncTime(time, 0, 0, delta, 0); }
TDateTime IncMSec(TDateTime time, int delta) { return IncTime(time, 0, 0, 0, delta); }

void DateDiff(TDateTime date1, TDateTime date2, int& days, int& months, int& years) {
  if (date1 > date2) std::swap(date1, date2);
  TYmd a = Split(date1), b = Split(date2);
  years = b.y - a.y;
  months = b.m - a.m;
  days = b.d - a.d;
  if (months < 0) {
    months += 12;
    --years;
  }
  if (days < 0) {
    days += DaysPerMonth(a.y, a.m);
    if (months == 0) {
      --years;
      months = 11;
    } else {
      --months;
    }
  }
}

double MonthsBetween(TDateTime date1, TDateTime date2) {
  int d, m, y;
  DateDiff(date1, date2, d, m, y);
  double r = 12.0 * y + m;
  if (d >= 2 && d <= 6) r += 0.25;
  else if (d >= 7 && d <= 14) r += 0.5;
  else if (d >= 15 && d <= 20) r += 0.75;
  else if (d >= 21) r += 1;
  return r;
}

bool ValidDate(TDateTime date) {
  int y, m, d;
  return TryDecodeDate(date, y, m, d);
}

int64_t DaysInPeriod(TDateTime date1, TDateTime date2) {
  if (!ValidDate(date1) || !ValidDate(date2)) return 0;
  return int64_t(std::fabs(DatePart(date2) - DatePart(date1))) + 1;
}

int64_t DaysBetween(TDateTime date1, TDateTime date2) {
  if (!std::isfinite(date1) || !std::isfinite(date2)) return 0;
  double r = DatePart(date1) - DatePart(date2) + 1;
  return r < 0 ? 0 : int64_t(r);
}

TDateOrder GetDateOrder(const std::string& dateFormat) {
  for (char c : dateFormat) switch (std::toupper((unsigned char)c)) {
      case 'E':
      case 'Y': return doYMD;
      case 'M': return doMDY;
      case 'D': return doDMY;
      default: break;
    }
  return doMDY;
}

int MonthFromName(const std::string& name, int maxLen) {
  std::string n = maxLen > 0 ? name.substr(0, size_t(maxLen)) : name;
  if (n.empty()) return 0;
  const TFormatSettings& fs = FormatSettings();
  for (int i = 0; i < 12; ++i) {
    const std::string& longName = fs.LongMonthNames[size_t(i)];
    std::string l = maxLen > 0 ? longName.substr(0, size_t(maxLen)) : longName;
    if (SameText(n, l) || SameText(n, fs.ShortMonthNames[size_t(i)])) return i + 1;
  }
  return 0;
}

namespace {

int ExpandYear(int y) {
  int start = CurrentYear() - CenturyOffset;
  int r = y + (start / 100) * 100;
  if (r < start) r += 100;
  return r;
}

bool ParseDate(const std::string& dateFormat, const std::string& s, TDateTime& out) {
  // Tokens: digit runs (with their length, for the year) and letter runs (month names).
  struct Tok {
    int value;
    int digits;
    bool name;
  };
  std::vector<Tok> toks;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    if (std::isdigit(c)) {
      size_t j = i;
      while (j < s.size() && std::isdigit((unsigned char)s[j])) ++j;
      if (j - i > 4) return false;
      toks.push_back({std::stoi(s.substr(i, j - i)), int(j - i), false});
      i = j;
    } else if (std::isalpha(c)) {
      size_t j = i;
      while (j < s.size() && std::isalpha((unsigned char)s[j])) ++j;
      int m = MonthFromName(s.substr(i, j - i));
      if (m == 0) return false;
      toks.push_back({m, 0, true});
      i = j;
    } else {
      ++i;
    }
    if (toks.size() > 3) return false;
  }
  if (toks.size() < 2) return false;
  TDateOrder order = GetDateOrder(dateFormat);
  // A month name anywhere is the month, whatever the order.
  int nameAt = -1;
  for (size_t k = 0; k < toks.size(); ++k)
    if (toks[k].name) {
      if (nameAt >= 0) return false;
      nameAt = int(k);
    }
  Tok y{0, 0, false}, m{0, 0, false}, d{0, 0, false};
  bool hasYear = toks.size() == 3;
  if (!hasYear) {
    // Day and month alone keep their order; the year is the current one.
    d = toks[order == doDMY ? 0 : 1];
    m = toks[order == doDMY ? 1 : 0];
  } else if (order == doMDY) {
    m = toks[0], d = toks[1], y = toks[2];
  } else if (order == doDMY) {
    d = toks[0], m = toks[1], y = toks[2];
  } else {
    y = toks[0], m = toks[1], d = toks[2];
  }
  if (nameAt >= 0 && !m.name) {
    // The name took another slot: swap it with the month's.
    Tok* slots[3] = {&d, &m, &y};
    for (Tok* t : slots)
      if (t->name) std::swap(*t, m);
  }
  if (d.name || y.name) return false;
  int year = hasYear ? y.value : CurrentYear();
  if (hasYear && y.digits <= 2) year = ExpandYear(year);
  return TryEncodeDate(year, m.value, d.value, out);
}

}  // namespace

TDateTime StrToDateFmt(const std::string& dateFormat, const std::string& s) {
  TDateTime d;
  if (!ParseDate(dateFormat, s, d)) throw EConvertError("'" + s + "' is not a valid date");
  return d;
}

TDateTime StrToDateDef(const std::string& s, TDateTime def) {
  return StrToDateFmtDef(FormatSettings().ShortDateFormat, s, def);
}

TDateTime StrToDateFmtDef(const std::string& dateFormat, const std::string& s, TDateTime def) {
  TDateTime d;
  return ParseDate(dateFormat, s, d) ? d : def;
}

std::string DefDateFormat(bool fourDigitYear) {
  switch (GetDateOrder(FormatSettings().ShortDateFormat)) {
    case doMDY: return fourDigitYear ? "MM/DD/YYYY" : "MM/DD/YY";
    case doDMY: return fourDigitYear ? "DD/MM/YYYY" : "DD/MM/YY";
    default: return fourDigitYear ? "YYYY/MM/DD" : "YY/MM/DD";
  }
}

std::string DefDateMask(char blanksChar, bool fourDigitYear) {
  std::string mask;
  if (!fourDigitYear) mask = "!99/99/99;1;";
  else if (GetDateOrder(FormatSettings().ShortDateFormat) == doYMD) mask = "!9999/99/99;1;";
  else mask = "!99/99/9999;1;";
  return mask + blanksChar;
}

std::string FormatLongDate(TDateTime value) {
  std::string s = FormatDateTime(FormatSettings().LongDateFormat, value);
  if (s.size() > 1023) s.resize(1023);
  return s;
}

std::string FormatLongDateTime(TDateTime value) {
  return FormatLongDate(value) + FormatDateTime(" tt", value);
}
