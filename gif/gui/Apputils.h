// The application helpers that work on windows.
#pragma once

// Task-bar entries: with appOnly only the main form has one, the program's other top-level
// forms become its transient windows (which desktops leave out of the task bar); without,
// each of them stands on its own again.
void AppTaskbarIcons(bool appOnly);
