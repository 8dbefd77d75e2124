// Opening a page in the browser window of a name.
#pragma once
#include <string>

// The target names one browser window; the desktop's handler has no named windows, so the
// name is kept only for callers. A local file name (absolute, or an existing relative one)
// is opened as its file: URL, "#" and all; a URL is opened without its fragment. Returns
// whether the page could be handed over.
bool DOMBrowseTo(const std::string& url, const std::string& target);
