#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <atomic>

namespace orvane {

// A decoded banner: one still JPEG frame, or the frames of a GIF with their delays.
struct BannerImage {
    enum Kind { None, Still, Animated };
    Kind kind = None;
    QSize size;
    QList<QImage> frames;
    QList<int> delaysMs;  // one per frame of an animated banner, at least 100 each

    bool isNull() const { return kind == None || frames.isEmpty(); }
};

// How much a banner may hold. A banner is a strip of a few hundred by a few dozen pixels;
// anything far bigger is refused before it is decoded.
struct BannerLimits {
    int maxSide = 2048;
    qint64 maxPixels = 1024 * 1024;         // per frame
    int maxFrames = 500;
    qint64 maxDecodedBytes = 64ll << 20;    // all frames together, 4 bytes a pixel
};

// GIF frame delays of 9 ms or less (0 included) are shown for this long.
inline constexpr int kShortestFrameDelayMs = 100;

// Decodes the banner file at path. Only JPEG and GIF are accepted, told apart by content;
// anything else, an unreadable file, dimensions beyond the limits or a failed decode give a
// null banner. stop (when given) is looked at between frames: a set flag ends the decode
// with a null banner.
BannerImage decodeBanner(const QString& path, const BannerLimits& limits = {},
                         const std::atomic<bool>* stop = nullptr);

} // namespace orvane
