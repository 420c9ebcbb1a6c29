#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/MessageSender.h"

namespace tarvo {

// Delivers a worker thread's message on the user-interface thread and waits until the
// window has handled it (a blocking queued invocation). Abandon() releases every waiting
// worker so that shutting the link down can never deadlock.
class QtMessageSender : public QObject, public MessageSender {
    Q_OBJECT
public:
    explicit QtMessageSender(QObject* parent = nullptr);

    bool Send(MessageTarget* target, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void Abandon();

private:
    std::mutex mutex_;
    std::condition_variable handled_;
    bool abandoned_ = false;
};

}  // namespace tarvo
