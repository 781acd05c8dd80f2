#pragma once

#include <QImage>

// Bitmaps of the program's own windows.
enum class CaptionButton { Minimize, Maximize, Close };

// Title-bar logo: a small signal mark and the product name.
QImage drawLogo(int width, int height);
// A caption button of the title bar, normal or under the mouse.
QImage drawCaptionButton(CaptionButton kind, bool hover, int width, int height);
// The close button of the detail side pane's title box.
QImage drawPaneCloseButton(bool hover, int size);
// Background of the floating speed strip.
QImage drawFloatBackground(int width, int height);
// The tray and window icon.
QImage drawAppIcon(int size);
