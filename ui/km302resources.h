#pragma once
// The program's pictures and documents (res/km302.qrc, under ":/km302/") are
// compiled into the km302_ui library. A static library's resources must be
// registered by a call before use: every class that shows one calls this, and
// so should the application before it sets the window icon
// (":/km302/km302.png"). Calling it again does nothing.

void InitKm302Resources();

class QIcon;
// The barometer icon of the program's windows, in its two sizes.
QIcon ProgramIcon();
