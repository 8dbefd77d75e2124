#include "POP/PopDOM.h"

#include "POP/PopWinInet.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace {
// A name without a scheme that names something here, or any absolute path: a "#" or "?" in
// it is part of a file's name, not a fragment or a query.
bool IsLocalFileName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/') return true;
  if (UrlCrack(name).ok) return false;
  return FileExists(name) || DirectoryExists(name);
}
}  // namespace

bool DOMBrowseTo(const std::string& url, const std::string& target) {
  std::string cut = IsLocalFileName(url) ? UrlFromFileName(url) : url.substr(0, url.find('#'));
  if (cut.size() > 65535) cut.resize(65535);
  if (cut.empty() || cut[0] == '-') return false;
  return Services().OpenUrl(cut);
}
