// The real window read back by OCR (tesseract with its English and simplified Chinese
// models): under an English locale the traffic list's column captions are the English ones
// and not a Chinese character is among them; under a Chinese locale the reverse. One start of
// the program per language.
#include "RealWindowFixture.h"

#include "PixelProbe.h"

#include "config/BuiltinTexts.h"
#include "core/lists/ListColumn.h"
#include "views/lists/SkinHeaderView.h"

#include <QColorSpace>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

using lumivex::config::Language;

const QColor kHeaderBackground(2, 98, 2);

// The TCP list's captions in a language, without their spaces (OCR sets its own).
QStringList captions(Language language)
{
    QStringList texts;
    for (const orvane::ListColumn& column : orvane::trafficColumns(kTrafficTcp))
        for (const lumivex::config::BuiltinText& text : lumivex::config::builtinTexts())
            if (QByteArrayView(text.key) == QByteArrayView(column.key))
                texts << QString::fromUtf8(text.text(language)).remove(QLatin1Char(' '));
    return texts;
}

int found(const QStringList& texts, const QString& read)
{
    int n = 0;
    for (const QString& text : texts)
        n += read.contains(text) ? 1 : 0;
    return n;
}

class RealWindowCaptions : public RealWindow {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("tesseract")).isEmpty())
            GTEST_SKIP() << "tesseract is not installed (scripts/setup.sh installs it)";
        QProcess list;
        list.start(QStringLiteral("tesseract"), {QStringLiteral("--list-langs")});
        list.waitForFinished(10000);
        const QString languages = QString::fromLocal8Bit(list.readAllStandardOutput() + list.readAllStandardError());
        if (!languages.contains(QStringLiteral("\neng")) || !languages.contains(QStringLiteral("\nchi_sim")))
            GTEST_SKIP() << "tesseract lacks its eng or chi_sim model (scripts/setup.sh installs them)";
        RealWindow::SetUp();
    }

    // Starts the program under LANG=lang, photographs its window and reads the list's header
    // back; the text read without its white space.
    QString readCaptions(const QString& lang)
    {
        locale = lang;
        startProgram(orvane);
        if (!waitUntil([&] { return frameViewable(); }, 15000))
            return QStringLiteral("(no window)");
        QThread::msleep(800);  // painted once at least
        const QString shot = m_dir.filePath("window.png");
        if (!x.screenshot(shot))
            return QStringLiteral("(no screenshot)");
        const QImage image(shot);
        keepShot(image, QStringLiteral("real_window_") + lang.left(2));
        // The header: the first line of the window that is mostly the header's green.
        const QRect g = frame().geometry;
        int top = -1;
        for (int y = g.top(); y <= g.bottom() && top < 0; ++y) {
            int green = 0, probes = 0;
            for (int x = g.left() + 20; x < g.right() - 20; x += 16, ++probes)
                green += colourNear(image.pixelColor(x, y), kHeaderBackground, 2) ? 1 : 0;
            if (green * 10 >= probes * 8)
                top = y - 1;  // below the header's one-pixel frame
        }
        if (top < 0)
            return QStringLiteral("(no list header)");
        // Black on white, as it is and twice the size (OCR misreads a different character now
        // and then at each size): both readings together.
        QImage band = image.copy(QRect(g.left() + kBorder, top, g.width() - 2 * kBorder, orvane::SkinHeaderView::kHeight))
                          .convertToFormat(QImage::Format_Grayscale8);
        band.setColorSpace(QColorSpace());  // the screenshot's RGB profile has no place in a grey image
        band.invertPixels();
        keepShot(band, QStringLiteral("real_window_captions_") + lang.left(2));
        QString read;
        for (int scale : {1, 2}) {
            const QString file = m_dir.filePath(QStringLiteral("captions%1.png").arg(scale));
            band.scaled(band.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(file);
            QProcess ocr;
            ocr.start(QStringLiteral("tesseract"), {file, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("eng+chi_sim"),
                                                    QStringLiteral("--psm"), QStringLiteral("7")});
            ocr.waitForFinished(60000);
            read += QString::fromUtf8(ocr.readAllStandardOutput()) + QLatin1Char('|');
        }
        return read.remove(QRegularExpression(QStringLiteral("\\s")));
    }
};

} // namespace

TEST_F(RealWindowCaptions, EnglishLocaleShowsTheEnglishCaptionsOnly)
{
    const QString read = readCaptions(QStringLiteral("en_US.UTF-8"));
    const QStringList english = captions(Language::English);
    EXPECT_EQ(found(english, read), english.size()) << read.toStdString();
    EXPECT_FALSE(read.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")))) << read.toStdString();
    terminateAndCheck(orvane);
}

TEST_F(RealWindowCaptions, ChineseLocaleShowsTheChineseCaptionsOnly)
{
    const QString read = readCaptions(QStringLiteral("zh_CN.UTF-8"));
    const QStringList chinese = captions(Language::Chinese);
    // OCR misreads a character now and then: three captions in four are enough.
    EXPECT_GE(found(chinese, read) * 4, chinese.size() * 3) << read.toStdString();
    EXPECT_EQ(found(captions(Language::English), read), 0) << read.toStdString();
    terminateAndCheck(orvane);
}
