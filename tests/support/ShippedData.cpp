#include "ShippedData.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// A file of the shipped folder at its place in the copy; user.ini is always copied, since
// the store replaces it.
void place(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    if (fs::is_directory(from, error)) {
        fs::create_directories(to, error);
        for (const fs::directory_entry& entry : fs::directory_iterator(from, error))
            place(entry.path(), to / entry.path().filename());
        return;
    }
    if (from.filename() != "user.ini") {
        fs::create_hard_link(from, to, error);
        if (!error)
            return;
    }
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
}

QTemporaryDir& folder()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto made = std::make_unique<QTemporaryDir>();
        place(fs::path(LUMIVEX_DAT_DIR), fs::path(made->path().toStdString()));
        return made;
    }();
    return *dir;
}

} // namespace

QString shippedDataDir()
{
    return folder().path() + QLatin1Char('/');
}

void useShippedData()
{
    auto& store = lumivex::config::ConfigStore::instanceAt(shippedDataDir().toStdString(), "");
    lumivex::config::registerBuiltinTexts(store);
}
