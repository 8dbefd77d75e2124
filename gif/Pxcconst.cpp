#include "gif/Pxcconst.h"

std::string LoadStr(int id) {
  switch (id) {
    case SDetails: return "Details";
    case SLoadLibError: return "Could not load '%s' library";
    case SNotExeOrIconFile:
      return "File specified is not an executable file, dynamic-link library, or icon file";
    case SNotImplemented: return "Function not yet implemented";
    case SPrevMonth: return "Previous Month|";
    case SPrevYear: return "Previous Year|";
    case SNextMonth: return "Next Month|";
    case SNextYear: return "Next Year|";
    case SDateDlgTitle: return "Select a Date";
    case SDefaultFilter: return "All files (*.*)|*.*";
    case SBrowse: return "Browse";
    default: return {};
  }
}
