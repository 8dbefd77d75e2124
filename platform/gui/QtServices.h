// The Qt implementations of the platform services.
#pragma once

// Installs the Qt message boxes, dialogs, clipboard, printer and the rest as the process's
// services. Call once, after the QApplication exists.
void InstallQtServices();
