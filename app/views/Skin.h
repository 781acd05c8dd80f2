#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

// Reading the skin (config.dat) and the UI texts of the configuration store for painting.
// The skin is outside input: every number goes through value() or offset(), so a missing,
// zero, negative or absurdly large entry gives the caller's default and nothing is ever laid
// out with a negative size. GUI thread only.
namespace orvane::skin {

// Larger than any sensible size of a pane on a screen.
inline constexpr int kLimit = 2000;

// A size from the skin: the number, or fallback when it is missing, 0 or negative, or above
// limit.
int value(const char* key, int fallback, int limit = kLimit);
// An offset from the skin, where 0 is meaningful: fallback when missing, negative or above
// limit.
int offset(const char* key, int fallback, int limit = kLimit);
// A colour from the skin ("r,g,b"); fallback when the key is missing.
QColor color(const char* key, QColor fallback = Qt::black);
// A font with the face named by faceKey (used when present and shorter than 32 bytes, else
// the system's default face) whose line (ascent plus descent) is cellHeight pixels, as the
// skin's font heights mean.
QFont font(const char* faceKey, int cellHeight);
// The same for a face given by name.
QFont fontOfFace(const QString& face, int cellHeight);
// A UI text of the built-in table (the key itself when unknown).
QString text(const char* key);
// An image of the data folder's ui/ subfolder; null when missing or unreadable.
QPixmap image(const char* fileName);

} // namespace orvane::skin
