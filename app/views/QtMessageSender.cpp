#include "app/views/QtMessageSender.h"

#include <QCoreApplication>
#include <QThread>
#include <memory>

namespace tarvo {

namespace {

struct Delivery {
    bool done = false;
    bool cancelled = false;
};

}  // namespace

QtMessageSender::QtMessageSender(QObject* parent) : QObject(parent) {}

bool QtMessageSender::Send(MessageTarget* target, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    if (target == nullptr) {
        return false;
    }
    if (QThread::currentThread() == thread()) {
        target->onMessage(message, wParam, lParam);
        return true;
    }
    auto delivery = std::make_shared<Delivery>();
    {
        std::lock_guard lock(mutex_);
        if (abandoned_) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, delivery, target, message, wParam, lParam] {
            {
                std::lock_guard lock(mutex_);
                if (delivery->cancelled) {
                    return;  // the worker gave up waiting: the program is closing
                }
            }
            target->onMessage(message, wParam, lParam);
            {
                std::lock_guard lock(mutex_);
                delivery->done = true;
            }
            handled_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    handled_.wait(lock, [&] { return delivery->done || abandoned_; });
    if (!delivery->done) {
        delivery->cancelled = true;
    }
    return delivery->done;
}

void QtMessageSender::Abandon() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    handled_.notify_all();
}

}  // namespace tarvo
