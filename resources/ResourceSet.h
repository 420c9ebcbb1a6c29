#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

#include "resources/ResourceCatalog.h"

namespace tarvo {

// The user-interface resources of one language: the built-in Chinese set compiled into the
// program (":/zh/") or the English set of data/EN.rcc (":/en/") once it is registered.
// Texts, menus and dialog templates come from the catalogue; icons and pictures are SVG
// drawings rendered to the size asked for.
class ResourceSet {
public:
    enum class Language { Chinese, English };

    // Registers the English set; false when the file is missing, is no resource file or
    // holds no English set.
    static bool LoadEnglish(const QString& rccPath);

    explicit ResourceSet(Language language);

    Language language() const { return language_; }
    // ":/zh/" or ":/en/".
    QString Prefix() const;
    // False when a JSON file is missing or malformed; Errors() names them.
    bool IsValid() const { return missingFiles_.isEmpty() && catalog_.IsValid(); }
    QStringList Errors() const;

    const ResourceCatalog& Catalog() const { return catalog_; }
    QString String(int id) const;

    // Null icon or pixmap when the set has no such image.
    QIcon Icon(int id) const;
    QPixmap IconPixmap(int id, QSize size) const;
    // An invalid size renders the picture at its own size (201: 1024 x 768).
    QPixmap Bitmap(int id, QSize size = QSize()) const;
    QIcon ToolbarIcon(int command) const;

private:
    QPixmap Render(const QString& path, QSize size) const;
    QIcon IconFromFile(const QString& path) const;

    Language language_;
    ResourceCatalog catalog_;
    QStringList missingFiles_;
    mutable QHash<QString, QIcon> iconCache_;
};

}  // namespace tarvo
