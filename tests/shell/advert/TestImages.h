#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>

// Banner files made by the tests.
namespace testimages {

// A GIF89a of the given logical screen size whose frames each fill frameSize with one
// colour; delaysCs are the frames' delays in hundredths of a second.
QByteArray gif(QSize screen, QSize frameSize, const QList<QColor>& frames, const QList<int>& delaysCs);
inline QByteArray gif(QSize size, const QList<QColor>& frames, const QList<int>& delaysCs)
{
    return gif(size, size, frames, delaysCs);
}

// A JPEG of one colour.
QByteArray jpeg(QSize size, QColor colour);

// The JPEG with the dimensions of its frame header replaced (an image bomb when large).
QByteArray withJpegSize(QByteArray jpeg, int width, int height);

// A PNG of one colour (a format the banner does not accept).
QByteArray png(QSize size, QColor colour);

} // namespace testimages
