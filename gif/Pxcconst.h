// The string table entries of the control and file utility units.
#pragma once
#include <string>

constexpr int SDetails = 61254, SLoadLibError = 61255, SNotExeOrIconFile = 61256, SNotImplemented = 61257,
              SPrevMonth = 61258, SPrevYear = 61259, SNextMonth = 61260, SNextYear = 61261,
              SDateDlgTitle = 61262, SDefaultFilter = 61263, SBrowse = 61264;

// The text of an entry; empty for a number outside the table.
std::string LoadStr(int id);
