#include "app/views/UnstoredChangesButton.h"

#include "comm/UnstoredChanges.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
constexpr int kCountText = 1740;
constexpr int kOneText = 1741;
constexpr int kTip = 1742;
constexpr int kAskProgram = 1744;
constexpr int kAskConnection = 1745;
}  // namespace

UnstoredChangesButton::UnstoredChangesButton(const UnstoredChanges& changes,
                                             const ResourceSet& resources, QWidget* parent)
    : QToolButton(parent), changes_(changes), resources_(resources) {
    setObjectName(QStringLiteral("unstoredChanges"));
    setAutoRaise(true);
    setToolTip(resources_.String(kTip));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    Refresh();
}

void UnstoredChangesButton::Refresh() {
    size_t count = changes_.Count();
    setText(
        count == 1
            ? resources_.String(kOneText)
            : resources_.String(kCountText).replace(QStringLiteral("%d"), QString::number(count)));
    setVisible(count > 0);
}

QString UnstoredChangesButton::Question(const ResourceSet& resources, bool program, size_t count) {
    return resources.String(program ? kAskProgram : kAskConnection)
        .replace(QStringLiteral("%d"), QString::number(count));
}

}  // namespace tarvo
