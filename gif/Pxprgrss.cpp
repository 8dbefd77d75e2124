#include "gif/Pxprgrss.h"

#include <memory>
#include <vector>

#include "platform/SysUtils.h"

namespace {

struct TProgressProp {
  std::string ClassName, MaxProp, MinProp, ProgressProp;
};

std::unique_ptr<std::vector<TProgressProp>>& List() {
  static std::unique_ptr<std::vector<TProgressProp>> list;
  return list;
}

// Made on first use with the library's progress bar in it.
std::vector<TProgressProp>& Registrations() {
  auto& l = List();
  if (!l) {
    l = std::make_unique<std::vector<TProgressProp>>();
    l->push_back({"TProgressBar", "Max", "Min", "Position"});
  }
  return *l;
}

std::string Cut(const std::string& s) { return s.substr(0, 63); }

const TProgressProp* Find(TPublished* control) {
  if (!control) return nullptr;
  for (const TProgressProp& p : Registrations())
    if (SameText(p.ClassName, control->ClassName())) return &p;
  return nullptr;
}

void SetProp(TPublished* control, std::string TProgressProp::*which, int64_t value) {
  const TProgressProp* reg = Find(control);
  if (!reg) return;
  std::vector<TPropInfo> props = control->PublishedProperties();
  const TPropInfo* p = FindPropInfo(props, reg->*which);
  if (!p) return;
  switch (p->Kind) {
    case tkInteger:
    case tkChar:
    case tkWChar:
      if (p->SetOrd) p->SetOrd(value);
      break;
    case tkVariant:
      if (p->SetStr) p->SetStr(IntToStr(value));
      break;
    default: break;
  }
}

}  // namespace

void RegisterProgressControl(const std::string& className, const std::string& maxPropName,
                             const std::string& minPropName, const std::string& progressPropName) {
  auto& regs = Registrations();
  for (TProgressProp& p : regs)
    if (SameText(p.ClassName, className)) {
      p = {className, Cut(maxPropName), Cut(minPropName), Cut(progressPropName)};
      return;
    }
  regs.push_back({className, Cut(maxPropName), Cut(minPropName), Cut(progressPropName)});
}

void UnRegisterProgressControl(const std::string& className) {
  auto& regs = Registrations();
  for (size_t i = 0; i < regs.size(); ++i)
    if (SameText(regs[i].ClassName, className)) {
      regs.erase(regs.begin() + long(i));
      return;
    }
}

bool SupportsProgressControl(TPublished* control) { return Find(control) != nullptr; }
void SetProgressMax(TPublished* control, int64_t v) { SetProp(control, &TProgressProp::MaxProp, v); }
void SetProgressMin(TPublished* control, int64_t v) { SetProp(control, &TProgressProp::MinProp, v); }
void SetProgressValue(TPublished* control, int64_t v) { SetProp(control, &TProgressProp::ProgressProp, v); }
void DonePxprgrss() { List().reset(); }
