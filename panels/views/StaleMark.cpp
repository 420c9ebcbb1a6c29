#include "panels/views/StaleMark.h"

#include <QDateTime>
#include <QGraphicsColorizeEffect>
#include <QWidget>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
constexpr int kStaleNote = 2901;
}

StaleMark::StaleMark(QWidget& view, const ResourceSet& resources)
    : view_(view), resources_(resources) {}

QString StaleMark::Note(const ResourceSet& resources, qint64 lostAt) {
    QString time = QDateTime::fromSecsSinceEpoch(lostAt).toString(QStringLiteral("HH:mm:ss"));
    return resources.String(kStaleNote).replace(QStringLiteral("%s"), time);
}

void StaleMark::Mark(qint64 lostAt) {
    if (!marked_) {
        liveToolTip_ = view_.toolTip();
        auto* grey = new QGraphicsColorizeEffect(&view_);
        grey->setColor(Qt::gray);
        grey->setStrength(1.0);
        view_.setGraphicsEffect(grey);  // the view owns and deletes it
        marked_ = true;
    }
    view_.setToolTip(Note(resources_, lostAt));
}

void StaleMark::Clear() {
    if (!marked_) {
        return;
    }
    marked_ = false;
    view_.setGraphicsEffect(nullptr);
    view_.setToolTip(liveToolTip_);
}

}  // namespace tarvo
