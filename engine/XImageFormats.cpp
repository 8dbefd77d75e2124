#include "XImageFormats.h"

#include "XImage.h"
#include "platform/SysUtils.h"

// These codecs are not built yet; they fail loudly rather than pretend to have worked.
[[noreturn]] static void NotAvailable(const char* what, const std::string& name) {
  throw EInvalidGraphic(std::string(what) + " format is not available yet: " + name);
}

void XImageLoadPNG(XImage&, const std::string& name) { NotAvailable("PNG", name); }
void XImageSavePNG(const XImage&, const std::string& name) { NotAvailable("PNG", name); }
void XImageLoadGIF(XImage&, const std::string& name) { NotAvailable("GIF", name); }
void XImageSaveGIF(const XImage&, const std::string& name) { NotAvailable("GIF", name); }
void XImageLoadFormatLibrary(XImage&, const std::string& name) { NotAvailable("This image", name); }
void XImageSaveFormatLibrary(const XImage&, const std::string& name) { NotAvailable("This image", name); }
