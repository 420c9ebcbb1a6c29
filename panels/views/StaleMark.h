#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace tarvo {

class ResourceSet;

// The look of a view whose values were read over a connection that is gone: greyed, with
// the time of the loss in its tooltip, until the next value arrives.
class StaleMark {
public:
    StaleMark(QWidget& view, const ResourceSet& resources);

    // `lostAt` in seconds since the epoch.
    void Mark(qint64 lostAt);
    void Clear();
    bool IsMarked() const { return marked_; }

    // "Values not read since the connection was lost at 14:03:27" in the interface language.
    static QString Note(const ResourceSet& resources, qint64 lostAt);

private:
    QWidget& view_;
    const ResourceSet& resources_;
    QString liveToolTip_;
    bool marked_ = false;
};

}  // namespace tarvo
