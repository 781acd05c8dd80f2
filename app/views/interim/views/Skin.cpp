#include "views/Skin.h"

#include "config/ConfigStore.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstring>

namespace orvane::skin {

using lumivex::config::ConfigStore;

namespace {

bool present(const char* key)
{
    const auto& table = ConfigStore::instance().skinTable();
    return key != nullptr && table.find(std::string_view(key)) != table.end();
}

} // namespace

int value(const char* key, int fallback, int limit)
{
    const int number = ConfigStore::instance().getSkinInt(key);
    return number <= 0 || number > limit ? fallback : number;
}

QColor color(const char* key, QColor fallback)
{
    if (!present(key))
        return fallback;
    const std::uint32_t bgr = ConfigStore::instance().getSkinColor(key);
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

QFont font(const char* faceKey, int cellHeight)
{
    QString face;
    if (present(faceKey)) {
        const char* value = ConfigStore::instance().getSkinValue(faceKey);
        if (std::strlen(value) < 32)
            face = QString::fromUtf8(value);
    }
    return fontOfFace(face, cellHeight);
}

QFont fontOfFace(const QString& face, int cellHeight)
{
    QFont result;
    if (!face.isEmpty())
        result.setFamily(face);
    const int cell = cellHeight > 0 ? cellHeight : 12;
    result.setPixelSize(cell);
    const int line = QFontMetrics(result).height();
    if (line > cell)
        result.setPixelSize(std::max(1, (cell * cell + line / 2) / line));
    return result;
}

QString text(const char* key)
{
    return QString::fromUtf8(ConfigStore::instance().getText(key));
}

QPixmap image(const char* fileName)
{
    QPixmap pixmap;
    pixmap.load(QString::fromStdString(ConfigStore::instance().dataDir()) + "ui/" + QString::fromUtf8(fileName));
    return pixmap;
}

} // namespace orvane::skin
