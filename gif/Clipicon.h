// Icons on the clipboard and at their own size.
#pragma once
#include <cstdint>
#include <memory>

#include "gif/Vclutils.h"
#include "platform/Canvas.h"
#include "platform/Clipboard.h"
#include "platform/Icon.h"
#include "platform/SysUtils.h"

// The icon clipboard format; registered at start-up (InitClipicon), which also makes it a
// picture format of TIcon.
extern uint16_t CF_ICON;
void InitClipicon();

// Puts the icon on the clipboard as a bitmap over the background colour (with its palette
// when it has one) and as its own file data in CF_ICON.
void CopyIconToClipboard(const TIcon& icon, TColor backColor);
// Reads CF_ICON data into the icon; raises EInvalidGraphic when there is none or it is bad.
void AssignClipboardIcon(TIcon& icon);
// A new icon from the clipboard, or nullptr when it holds no CF_ICON data.
std::unique_ptr<TIcon> CreateIconFromClipboard();
// The icon's own size; the system's icon size (32 x 32) for an empty icon.
TPoint GetIconSize(const TIcon& icon);
// A copy of the icon at its own size; raises EOutOfResources "Out of system resources" for
// an icon without an image.
std::unique_ptr<TIcon> CreateRealSizeIcon(const TIcon& icon);
void DrawRealSizeIcon(TCanvas& canvas, const TIcon& icon, int x, int y);
