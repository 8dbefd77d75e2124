#include "POP/PopDOM.h"

#include "platform/Services.h"

bool DOMBrowseTo(const std::string& url, const std::string& target) {
  std::string cut = url.substr(0, url.find('#'));
  if (cut.size() > 65535) cut.resize(65535);
  if (cut.empty() || cut[0] == '-') return false;
  return Services().OpenUrl(cut);
}
