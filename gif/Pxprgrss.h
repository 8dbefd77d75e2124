// A registry of progress-control classes: each class with the names of its maximum, minimum
// and position properties, set through their published property information.
#pragma once
#include <cstdint>
#include <string>

#include "platform/TypInfo.h"

// The class is named by its ClassName. Names longer than 63 characters are cut there.
void RegisterProgressControl(const std::string& className, const std::string& maxPropName,
                             const std::string& minPropName, const std::string& progressPropName);
void UnRegisterProgressControl(const std::string& className);
bool SupportsProgressControl(TPublished* control);
// Integer, character and variant-typed properties only; other controls are left alone.
void SetProgressMax(TPublished* control, int64_t maxValue);
void SetProgressMin(TPublished* control, int64_t minValue);
void SetProgressValue(TPublished* control, int64_t progressValue);
// Frees the registration list (the unit's end).
void DonePxprgrss();
