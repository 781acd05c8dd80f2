#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
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
// An image file of the data folder, read as the data files are read (a regular file only,
// never waiting on a FIFO or a device); null when it cannot be used, which is noted in the
// configuration store (ConfigStore::noteUnusableFile) for the start-up notice.
QImage imageFile(const QString& path);

} // namespace orvane::skin
