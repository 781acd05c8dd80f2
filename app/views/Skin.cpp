#include "views/Skin.h"

#include "config/ConfigStore.h"
#include "config/FileText.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstring>

namespace orvane::skin {

using lumivex::config::ConfigStore;

namespace {

bool present(const ConfigStore& store, const char* key)
{
    return key != nullptr && store.skinTable().find(std::string_view(key)) != store.skinTable().end();
}

} // namespace

int value(const char* key, int fallback, int limit)
{
    const int number = ConfigStore::instance().getSkinInt(key);
    return number <= 0 || number > limit ? fallback : number;
}

int offset(const char* key, int fallback, int limit)
{
    const ConfigStore& store = ConfigStore::instance();
    if (!present(store, key))
        return fallback;
    const int number = store.getSkinInt(key);
    return number < 0 || number > limit ? fallback : number;
}

QColor color(const char* key, QColor fallback)
{
    const ConfigStore& store = ConfigStore::instance();
    if (!present(store, key))
        return fallback;
    const std::uint32_t bgr = store.getSkinColor(key);
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

QFont font(const char* faceKey, int cellHeight)
{
    QString face;
    const ConfigStore& store = ConfigStore::instance();
    if (present(store, faceKey)) {
        const char* value = store.getSkinValue(faceKey);
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
    // The face that fontconfig picks decides how tall a line of that size is; scale the size
    // so that the line is as tall as asked.
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
    const QString path = QString::fromStdString(ConfigStore::instance().dataDir()) + "ui/" + QString::fromUtf8(fileName);
    return QPixmap::fromImage(imageFile(path));
}

QImage imageFile(const QString& path)
{
    // The shipped images are a few kilobytes; a file past this is no image of ours.
    constexpr std::size_t kImageFileLimit = 16u << 20;
    const std::string file = path.toStdString();
    std::string problem;
    const std::optional<std::string> bytes = lumivex::config::readFilePrefix(file, kImageFileLimit, &problem);
    QImage image;
    if (bytes)
        image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()), int(bytes->size()));
    if (!image.isNull())
        return image;
    if (problem.empty())
        problem = bytes ? file + " is no image that can be read" : file + " is missing";
    ConfigStore::instance().noteUnusableFile(problem);
    return {};
}

} // namespace orvane::skin
