#include "resources/ResourceSet.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QResource>
#include <QSvgRenderer>

// Q_INIT_RESOURCE must be used outside any namespace; it pulls the built-in set out of the
// static library into the program.
static void InitBuiltInResources() {
    Q_INIT_RESOURCE(zh);
}

namespace tarvo {

namespace {

void EnsureBuiltInResources() {
    static const bool registered = (InitBuiltInResources(), true);
    (void)registered;
}

// Sizes rendered into every icon: menus and lists, the 25-pixel toolbar, large buttons.
constexpr int kIconSizes[] = {16, 20, 24, 25, 32, 48, 64};

QString ReadText(const QString& path, QStringList& missing) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        missing << path;
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

}  // namespace

// The resource files registered for the run, unregistered at exit: Qt keeps each one
// until it is unregistered, and would otherwise leave it to the end of the process.
class RegisteredFiles {
public:
    ~RegisteredFiles() {
        for (const QString& path : paths_) {
            QResource::unregisterResource(path);
        }
    }
    bool Contains(const QString& path) const { return paths_.contains(path); }
    void Add(const QString& path) { paths_.append(path); }

private:
    QStringList paths_;
};

bool ResourceSet::LoadEnglish(const QString& rccPath) {
    // Qt's list of resources exists once the built-in set is in it; made after it, the
    // list of our files is destroyed before it.
    EnsureBuiltInResources();
    static RegisteredFiles registered;
    if (rccPath.isEmpty() || !QFileInfo(rccPath).isFile()) {
        return false;
    }
    const QString path = QFileInfo(rccPath).absoluteFilePath();
    if (registered.Contains(path)) {
        return true;  // registered once for the whole run
    }
    if (!QResource::registerResource(path)) {
        return false;
    }
    if (!QFile::exists(QStringLiteral(":/en/strings.json"))) {
        // A valid resource file, but not the English set.
        QResource::unregisterResource(path);
        return false;
    }
    registered.Add(path);
    return true;
}

ResourceSet::ResourceSet(Language language) : language_(language) {
    EnsureBuiltInResources();
    const QString prefix = Prefix();
    ResourceCatalog::Sources sources;
    sources.strings = ReadText(prefix + "strings.json", missingFiles_).toStdString();
    sources.menus = ReadText(prefix + "menus.json", missingFiles_).toStdString();
    sources.dialogs = ReadText(prefix + "dialogs.json", missingFiles_).toStdString();
    sources.accelerators = ReadText(prefix + "accelerators.json", missingFiles_).toStdString();
    sources.toolbar = ReadText(prefix + "toolbar.json", missingFiles_).toStdString();
    catalog_ = ResourceCatalog(sources);
}

QString ResourceSet::Prefix() const {
    return language_ == Language::Chinese ? QStringLiteral(":/zh/") : QStringLiteral(":/en/");
}

QStringList ResourceSet::Errors() const {
    QStringList errors;
    for (const QString& path : missingFiles_) {
        errors << QStringLiteral("%1: cannot be read").arg(path);
    }
    for (const std::string& error : catalog_.Errors()) {
        errors << QString::fromStdString(error);
    }
    return errors;
}

QString ResourceSet::String(int id) const {
    return QString::fromStdString(catalog_.String(id));
}

QPixmap ResourceSet::Render(const QString& path, QSize size) const {
    if (!QFile::exists(path)) {
        return {};
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    if (!size.isValid() || size.isEmpty()) {
        size = renderer.defaultSize();
    }
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

QIcon ResourceSet::IconFromFile(const QString& path) const {
    auto cached = iconCache_.constFind(path);
    if (cached != iconCache_.constEnd()) {
        return *cached;
    }
    QIcon icon;
    if (!QFile::exists(path)) {
        iconCache_.insert(path, icon);
        return icon;
    }
    QSvgRenderer renderer(path);
    const QSize design = renderer.defaultSize();
    if (renderer.isValid() && design.width() != design.height()) {
        // Toolbar images keep their 16 x 15 proportions.
        for (int scale = 1; scale <= 3; ++scale) {
            icon.addPixmap(Render(path, design * scale));
        }
    } else if (renderer.isValid()) {
        for (int side : kIconSizes) {
            icon.addPixmap(Render(path, QSize(side, side)));
        }
    }
    iconCache_.insert(path, icon);
    return icon;
}

QIcon ResourceSet::Icon(int id) const {
    return IconFromFile(Prefix() + QStringLiteral("icons/%1.svg").arg(id));
}

QPixmap ResourceSet::IconPixmap(int id, QSize size) const {
    return Render(Prefix() + QStringLiteral("icons/%1.svg").arg(id), size);
}

QPixmap ResourceSet::Bitmap(int id, QSize size) const {
    return Render(Prefix() + QStringLiteral("bitmaps/%1.svg").arg(id), size);
}

QIcon ResourceSet::ToolbarIcon(int command) const {
    return IconFromFile(Prefix() + QStringLiteral("toolbar/%1.svg").arg(command));
}

}  // namespace tarvo
