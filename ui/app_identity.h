// Who the running program is to the desktop: the window class and the desktop file name are the
// desktop entry's, so docks and task bars match the windows to the entry and its icon, and every
// window carries the program's icon even where the icon theme lacks it.
#pragma once

class QIcon;

// Needs the QApplication. The class follows the application name on X11 (WM_CLASS), the desktop
// file name becomes the Wayland app id.
void SetApplicationIdentity();

// The program's icon: the installed theme's, else the copy built into the program.
QIcon ProgramIcon();
