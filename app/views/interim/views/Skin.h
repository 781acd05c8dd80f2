#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

// The skin and text lookups the views paint with (the shell's names and meanings).
namespace orvane::skin {

inline constexpr int kLimit = 2000;

// A size from the skin; fallback when missing, 0, negative or above limit.
int value(const char* key, int fallback, int limit = kLimit);
// A colour from the skin ("r,g,b"); fallback when the key is missing.
QColor color(const char* key, QColor fallback = Qt::black);
// A font of the face named by faceKey whose line is cellHeight pixels high.
QFont font(const char* faceKey, int cellHeight);
QFont fontOfFace(const QString& face, int cellHeight);
// A UI text (the key itself when unknown).
QString text(const char* key);
// An image of the data folder's ui/ subfolder; null when missing.
QPixmap image(const char* fileName);

} // namespace orvane::skin
