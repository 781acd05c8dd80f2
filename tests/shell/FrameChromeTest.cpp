#include "shell/FrameChrome.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using orvane::FrameChrome;

TEST(FrameChrome, TheBorderResizesAlongItsEdgesAndCornersAndAPressInsideDragsTheWindow)
{
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(400, 300);
    FrameChrome chrome(window, 4);
    EXPECT_EQ(chrome.edgesAt({0, 150}), Qt::LeftEdge);
    EXPECT_EQ(chrome.edgesAt({399, 150}), Qt::RightEdge);
    EXPECT_EQ(chrome.edgesAt({200, 296}), Qt::BottomEdge);
    EXPECT_EQ(chrome.edgesAt({200, 4}), Qt::Edges());
    // Near a corner the border resizes both ways.
    EXPECT_EQ(chrome.edgesAt({11, 1}), Qt::LeftEdge | Qt::TopEdge);
    EXPECT_EQ(chrome.edgesAt({398, 288}), Qt::RightEdge | Qt::BottomEdge);
    EXPECT_EQ(chrome.edgesAt({12, 1}), Qt::TopEdge);

    window.move(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(&window, {200, 150});
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(&window, {1, 150});
    EXPECT_EQ(window.cursor().shape(), Qt::SizeHorCursor);

    // Without a window-system move (the offscreen platform) the window follows the pointer.
    const QPoint start = window.pos();
    chrome.beginDrag({300, 300});
    chrome.dragTo({340, 330});
    EXPECT_EQ(window.pos(), start + QPoint(40, 30));
    chrome.endDrag();
    chrome.dragTo({400, 400});
    EXPECT_EQ(window.pos(), start + QPoint(40, 30));

    chrome.setMaximized(true);  // a maximised window stays put
    chrome.beginDrag({0, 0});
    chrome.dragTo({50, 50});
    EXPECT_EQ(window.pos(), start + QPoint(40, 30));
}
