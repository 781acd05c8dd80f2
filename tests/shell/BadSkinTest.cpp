// A broken or missing data folder still gives a usable window.
#include "ShellFixture.h"

#include "config/ShiftedText.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TitleBar.h"

#include <QDir>

using orvane::MainFrame;
using orvane::TitleBar;

namespace {

void expectUsableLayout(MainFrame& frame)
{
    frame.resize(MainFrame::kInitialSize);
    const QImage image = frame.grab().toImage();
    EXPECT_EQ(image.size(), MainFrame::kInitialSize);
    orvane::MainView* view = frame.view();
    for (const QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_GE(child->width(), 0);
        EXPECT_GE(child->height(), 0);
        EXPECT_LE(child->geometry().bottom(), view->height()) << child->metaObject()->className();
    }
    EXPECT_GT(view->titleBar()->height(), 0);
    EXPECT_GT(view->statusBar()->height(), 0);
    EXPECT_GT(view->tabStrip()->height(), 0);
    EXPECT_GT(view->currentPage()->height(), 100);
    const QRect tab = view->tabStrip()->tabRect(0);
    EXPECT_TRUE(view->tabStrip()->rect().contains(tab)) << tab.y() << " " << view->tabStrip()->height();
}

} // namespace

TEST_F(ShellFixture, AbsurdSkinValuesFallBackToDefaults)
{
    std::string skin;
    for (const char* line : {"sh_titlebar=0", "sh_statusbar=-30", "sl_tabwndx=-4", "sl_tabwndy=99999999999",
                             "sh_tabwnd=5", "sh_advertwnd=100000", "sw_tabwnd=-1", "sh_listandviewdiv=70000",
                             "sh_statuslabel=0", "sw_statuslabel=-100", "sw_statusedit=999999", "fh_statusbar=-3",
                             "sl_firsttabx=-7", "cbk_orvaneview=1,2", "c_frmborder=999,abc,-1",
                             "f_statusbar=a font face name that is far too long to be one"})
        skin += lumivex::config::shiftLine(line) + "\r\n";
    writeDataFile("config.dat", QByteArray::fromStdString(skin));
    ASSERT_TRUE(start());
    orvane::MainView* view = app->frame()->view();
    EXPECT_EQ(view->metrics().titleHeight, 24);
    EXPECT_EQ(view->metrics().statusHeight, 24);
    EXPECT_EQ(view->metrics().margin, 0);
    EXPECT_EQ(view->tabStrip()->tabRect(0).left(), 5);
    EXPECT_EQ(view->statusBar()->valueRect(0, 0).height(), 18);
    expectUsableLayout(*app->frame());
}

TEST_F(ShellFixture, MissingDataFolderStartsWithBuiltinTexts)
{
    QDir(dataDir()).removeRecursively();
    ASSERT_TRUE(start());
    TitleBar* bar = app->frame()->view()->titleBar();
    EXPECT_EQ(bar->buttonRect(TitleBar::CloseButton).size(), QSize(24, 18));
    EXPECT_FALSE(bar->helpRect().isEmpty());
    EXPECT_EQ(app->frame()->windowTitle(), QStringLiteral("Lumivex"));
    expectUsableLayout(*app->frame());
}
