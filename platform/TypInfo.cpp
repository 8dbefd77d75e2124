#include "platform/TypInfo.h"

#include "platform/SysUtils.h"

const TPropInfo* FindPropInfo(const std::vector<TPropInfo>& props, const std::string& name) {
  for (const TPropInfo& p : props)
    if (SameText(p.Name, name)) return &p;
  return nullptr;
}
