#include "shell/advert/BannerImage.h"

#include <QImageReader>

#include <algorithm>

namespace orvane {

namespace {

bool sizeAllowed(const QSize& size, const BannerLimits& limits)
{
    return size.isValid() && !size.isEmpty() && size.width() <= limits.maxSide && size.height() <= limits.maxSide &&
           qint64(size.width()) * size.height() <= limits.maxPixels;
}

} // namespace

BannerImage decodeBanner(const QString& path, const BannerLimits& limits, const std::atomic<bool>* stop)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // A second guard under the size checks: no single allocation above the budget.
    reader.setAllocationLimit(int(std::max<qint64>(1, limits.maxDecodedBytes >> 20)));
    const QByteArray format = reader.format();
    const bool gif = format == "gif";
    if (!gif && format != "jpeg")
        return {};
    const QSize size = reader.size();
    if (!sizeAllowed(size, limits))
        return {};

    BannerImage banner;
    banner.kind = gif ? BannerImage::Animated : BannerImage::Still;
    banner.size = size;
    const qint64 frameBytes = qint64(size.width()) * size.height() * 4;
    while (banner.frames.size() < (gif ? limits.maxFrames : 1)) {
        if (stop && stop->load(std::memory_order_relaxed))
            return {};
        if (frameBytes * (banner.frames.size() + 1) > limits.maxDecodedBytes)
            break;
        QImage frame;
        if (!reader.read(&frame))
            break;
        if (frame.size() != size)  // the reader disagrees with its own header
            return {};
        banner.frames.append(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        if (gif) {
            const int delay = reader.nextImageDelay();
            banner.delaysMs.append(delay <= 9 ? kShortestFrameDelayMs : delay);
        }
        if (!reader.canRead())
            break;
    }
    if (banner.frames.isEmpty())
        return {};
    return banner;
}

} // namespace orvane
