// The start-up and shutdown of the utility units, in their link order: the date unit's
// four-digit-year flag, the company name and title flag of the settings unit, the hook
// list, the icon clipboard format and the two cursors. Both run once however often called.
#pragma once

void InitUtilityUnits();
void DoneUtilityUnits();
