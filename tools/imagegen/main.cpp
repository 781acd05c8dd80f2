// imagegen <data folder>
// Draws the shipped images as PNG files: the gauge faces and cap and the ranking icon under
// the names the program loads (*.dat), and the program's own bitmaps in <data folder>/ui/.
#include "GaugeFace.h"
#include "ProgramBitmaps.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

namespace {

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen <data folder>\n");
        return 2;
    }
    const QDir data(QString::fromLocal8Bit(argv[1]));
    if (!data.mkpath("ui"))
        return 1;
    constexpr int gaugeWidth = 136;
    constexpr int gaugeHeight = 84;
    bool ok = true;
    // Byte gauge: readout at x 39 with a decimal digit; packet gauge: readout at x 50, no decimal.
    ok &= save(drawGaugeFace(gaugeWidth, gaugeHeight, 39, 57, "MAX"), data.filePath("dashbk.dat"));
    ok &= save(drawGaugeFace(gaugeWidth, gaugeHeight, 50, 36, "MAX"), data.filePath("dashbk1.dat"));
    ok &= save(drawGaugeCap(16), data.filePath("dashcover.dat"));
    ok &= save(drawRankingIcon(24), data.filePath("topntab.dat"));

    const QDir ui(data.filePath("ui"));
    ok &= save(drawLogo(96, 20), ui.filePath("logo.png"));
    const struct {
        CaptionButton kind;
        const char* name;
    } buttons[] = {{CaptionButton::Minimize, "minimize"}, {CaptionButton::Maximize, "maximize"}, {CaptionButton::Close, "close"}};
    for (const auto& button : buttons) {
        ok &= save(drawCaptionButton(button.kind, false, 24, 18), ui.filePath(QString("%1.png").arg(button.name)));
        ok &= save(drawCaptionButton(button.kind, true, 24, 18), ui.filePath(QString("%1_hover.png").arg(button.name)));
    }
    ok &= save(drawPaneCloseButton(false, 14), ui.filePath("pane_close.png"));
    ok &= save(drawPaneCloseButton(true, 14), ui.filePath("pane_close_hover.png"));
    ok &= save(drawFloatBackground(500, 22), ui.filePath("float_background.png"));
    ok &= save(drawAppIcon(16), ui.filePath("icon16.png"));
    ok &= save(drawAppIcon(32), ui.filePath("icon32.png"));
    ok &= save(drawAppIcon(64), ui.filePath("icon64.png"));
    return ok ? 0 : 1;
}
