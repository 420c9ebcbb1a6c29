#include <QColor>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "resources/ResourceSet.h"

using tarvo::ResourceSet;

namespace {

const int kIconIds[] = {128, 203, 204, 205, 206, 207, 210, 211, 212, 213,
                        214, 215, 216, 217, 218, 219, 220, 221, 222};

// Mean colour of the clearly visible pixels of an image.
QColor MeanColour(const QImage& image) {
    double red = 0;
    double green = 0;
    double blue = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 200) {
                red += pixel.red();
                green += pixel.green();
                blue += pixel.blue();
                ++count;
            }
        }
    }
    if (count == 0) {
        return {};
    }
    return QColor(int(red / count), int(green / count), int(blue / count));
}

bool HasVisiblePixels(const QPixmap& pixmap) {
    return MeanColour(pixmap.toImage()).isValid();
}

}  // namespace

class ResourceSetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void builtInSetIsChinese();
    void englishSetLoadsOnlyFromAValidFile();
    void iconsRenderInBothSets();
    void stateIconsAreToldApartByColour();
    void bitmapsRenderAtTheAskedSize();
    void toolbarImagesRender();
    void renderForInspection();
};

void ResourceSetTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(TARVO_EN_RCC));
}

void ResourceSetTest::builtInSetIsChinese() {
    ResourceSet set(ResourceSet::Language::Chinese);
    QVERIFY2(set.IsValid(), qPrintable(set.Errors().join("; ")));
    QCOMPARE(set.Prefix(), QStringLiteral(":/zh/"));
    QCOMPARE(set.String(132), QStringLiteral("位置环"));
    QCOMPARE(set.String(1004), QStringLiteral("取消"));
    QCOMPARE(QString::fromStdString(set.Catalog().MenuCaption(102, 1218)),
             QStringLiteral("I／O口"));
}

void ResourceSetTest::englishSetLoadsOnlyFromAValidFile() {
    QTemporaryDir folder;
    QVERIFY(!ResourceSet::LoadEnglish(folder.filePath("EN.rcc")));
    QVERIFY(!ResourceSet::LoadEnglish(QString()));
    QFile garbage(folder.filePath("garbage.rcc"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a resource file");
    garbage.close();
    QVERIFY(!ResourceSet::LoadEnglish(garbage.fileName()));

    ResourceSet set(ResourceSet::Language::English);
    QVERIFY2(set.IsValid(), qPrintable(set.Errors().join("; ")));
    QCOMPARE(set.String(132), QStringLiteral("Poaition Loop"));
    QCOMPARE(set.String(121), QStringLiteral("Current Loop "));
    QVERIFY(set.String(215).isEmpty());
    QCOMPARE(QString::fromStdString(set.Catalog().ControlText(147, 1137)),
             QStringLiteral("English"));
}

void ResourceSetTest::iconsRenderInBothSets() {
    for (auto language : {ResourceSet::Language::Chinese, ResourceSet::Language::English}) {
        ResourceSet set(language);
        for (int id : kIconIds) {
            QIcon icon = set.Icon(id);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(id)));
            QPixmap pixmap = icon.pixmap(QSize(25, 25));
            QCOMPARE(pixmap.size(), QSize(25, 25));
            QVERIFY2(HasVisiblePixels(pixmap), qPrintable(QString::number(id)));
            QCOMPARE(set.IconPixmap(id, QSize(48, 48)).size(), QSize(48, 48));
        }
        QVERIFY(set.Icon(999).isNull());
        QVERIFY(set.IconPixmap(999, QSize(16, 16)).isNull());
    }
}

// The toolbar's state icon must read at a glance: grey without connection, green when the
// drive has no fault, red on a fault.
void ResourceSetTest::stateIconsAreToldApartByColour() {
    ResourceSet set(ResourceSet::Language::Chinese);
    QColor none = MeanColour(set.IconPixmap(205, QSize(16, 16)).toImage());
    QColor fault = MeanColour(set.IconPixmap(210, QSize(16, 16)).toImage());
    QColor good = MeanColour(set.IconPixmap(211, QSize(16, 16)).toImage());
    QVERIFY(none.isValid() && fault.isValid() && good.isValid());
    QVERIFY2(none.hsvSaturation() < 60, qPrintable(none.name()));
    QVERIFY2(fault.red() > fault.green() + 80, qPrintable(fault.name()));
    QVERIFY2(good.green() > good.red() + 60, qPrintable(good.name()));
}

void ResourceSetTest::bitmapsRenderAtTheAskedSize() {
    for (auto language : {ResourceSet::Language::Chinese, ResourceSet::Language::English}) {
        ResourceSet set(language);
        QPixmap background = set.Bitmap(201);
        QCOMPARE(background.size(), QSize(1024, 768));
        QVERIFY(HasVisiblePixels(background));
        QCOMPARE(set.Bitmap(201, QSize(1331, 844)).size(), QSize(1331, 844));
        QVERIFY(!set.Bitmap(202).isNull());
        QCOMPARE(set.Bitmap(102).size(), QSize(128, 15));
        QVERIFY(set.Bitmap(203).isNull());
    }
}

void ResourceSetTest::toolbarImagesRender() {
    ResourceSet set(ResourceSet::Language::English);
    for (int command : set.Catalog().ToolbarButtons()) {
        if (command == 0) {
            continue;
        }
        QIcon icon = set.ToolbarIcon(command);
        QVERIFY2(!icon.isNull(), qPrintable(QString::number(command)));
        QVERIFY(HasVisiblePixels(icon.pixmap(QSize(16, 15))));
    }
    QVERIFY(set.ToolbarIcon(1125).isNull());
}

// With TARVO_RENDER_DIR set, writes every image as PNG for a look by eye.
void ResourceSetTest::renderForInspection() {
    const QString target = qEnvironmentVariable("TARVO_RENDER_DIR");
    if (target.isEmpty()) {
        QSKIP("TARVO_RENDER_DIR not set");
    }
    QDir().mkpath(target);
    ResourceSet set(ResourceSet::Language::English);
    for (int id : kIconIds) {
        QVERIFY(
            set.IconPixmap(id, QSize(48, 48)).save(target + QStringLiteral("/icon%1.png").arg(id)));
    }
    QVERIFY(set.Bitmap(201).save(target + "/bitmap201.png"));
    QVERIFY(set.Bitmap(202).save(target + "/bitmap202.png"));
    QVERIFY(set.Bitmap(102, QSize(256, 30)).save(target + "/bitmap102.png"));
}

QTEST_MAIN(ResourceSetTest)
#include "ResourceSetTest.moc"
