#pragma once

#include <QIcon>

namespace orvane {

// The program's icon for the window and the tray: "orvane" of the installed icon theme
// (hicolor, installed with the program), else the PNG files of the data folder.
QIcon appIcon();

} // namespace orvane
