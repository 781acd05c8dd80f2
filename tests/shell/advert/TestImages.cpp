#include "TestImages.h"

#include <QBuffer>
#include <QImage>

namespace testimages {

namespace {

void put16(QByteArray& out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// LZW data of a frame whose pixels are all index: with a minimum code size of 2 every code
// is 3 bits wide when each pixel follows a clear code (the table never grows).
QByteArray lzwOfOneIndex(int pixels, int index)
{
    QByteArray bytes;
    quint32 bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            bytes.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        put(4);  // clear
        put(index);
    }
    put(5);  // end
    if (count > 0)
        bytes.append(char(bits & 0xFF));
    QByteArray blocks;
    for (qsizetype at = 0; at < bytes.size(); at += 255) {
        const QByteArray part = bytes.mid(at, 255);
        blocks.append(char(part.size()));
        blocks.append(part);
    }
    blocks.append('\0');
    return blocks;
}

} // namespace

QByteArray gif(QSize screen, QSize frameSize, const QList<QColor>& frames, const QList<int>& delaysCs)
{
    QByteArray out("GIF89a");
    put16(out, screen.width());
    put16(out, screen.height());
    out.append(char(0xF1));  // global table of 4 colours
    out.append('\0');
    out.append('\0');
    // Table: index 0 black, 1-3 the first three frame colours.
    out.append(3, '\0');
    for (int i = 0; i < 3; ++i) {
        const QColor c = frames.value(i, Qt::black);
        out.append(char(c.red()));
        out.append(char(c.green()));
        out.append(char(c.blue()));
    }
    out.append(QByteArray::fromHex("21FF0B") + "NETSCAPE2.0" + QByteArray::fromHex("03010000") + '\0');
    for (qsizetype f = 0; f < frames.size(); ++f) {
        out.append(QByteArray::fromHex("21F904"));
        out.append(char(0x04));  // keep the frame, no transparency
        put16(out, delaysCs.value(f, 0));
        out.append('\0');
        out.append('\0');
        out.append(char(0x2C));
        put16(out, 0);
        put16(out, 0);
        put16(out, frameSize.width());
        put16(out, frameSize.height());
        out.append('\0');
        out.append(char(2));
        out.append(lzwOfOneIndex(frameSize.width() * frameSize.height(), int(f % 3) + 1));
    }
    out.append(char(0x3B));
    return out;
}

QByteArray jpeg(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return data;
}

QByteArray withJpegSize(QByteArray data, int width, int height)
{
    // The baseline frame header: FF C0, length, precision, height, width.
    const qsizetype sof = data.indexOf(QByteArray::fromHex("FFC0"));
    if (sof < 0)
        return data;
    data[sof + 5] = char((height >> 8) & 0xFF);
    data[sof + 6] = char(height & 0xFF);
    data[sof + 7] = char((width >> 8) & 0xFF);
    data[sof + 8] = char(width & 0xFF);
    return data;
}

QByteArray png(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

} // namespace testimages
