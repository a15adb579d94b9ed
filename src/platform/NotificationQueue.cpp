#include "platform/NotificationQueue.h"

namespace kantor {

NotificationQueue::NotificationQueue(std::size_t capacity) : ring_(capacity ? capacity : 1) {}

bool NotificationQueue::post(NotificationTarget* target, const Notification& n) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ == ring_.size()) {
            ++dropped_;
            return false;
        }
        Entry& e = ring_[(head_ + count_) % ring_.size()];
        e.target = target;
        e.n = n;
        ++count_;
    }
    cv_.notify_one();
    if (postHook_) postHook_();
    return true;
}

bool NotificationQueue::pop(Entry& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count_ == 0) return false;
    e = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return true;
}

std::size_t NotificationQueue::pump(std::size_t limit) {
    std::size_t delivered = 0;
    Entry e;
    while (delivered < limit && pop(e)) {
        if (e.target) e.target->onNotification(e.n);
        ++delivered;
    }
    return delivered;
}

std::size_t NotificationQueue::waitAndPump(std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, timeout, [this] { return count_ > 0 || woken_; });
        woken_ = false;
    }
    return pump();
}

void NotificationQueue::cancel(NotificationTarget* target) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < count_; ++i) {
        Entry& e = ring_[(head_ + i) % ring_.size()];
        if (e.target == target) e.target = nullptr;
    }
}

void NotificationQueue::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    cv_.notify_one();
}

std::size_t NotificationQueue::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::size_t NotificationQueue::pendingFor(const NotificationTarget* target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (std::size_t i = 0; i < count_; ++i) n += ring_[(head_ + i) % ring_.size()].target == target;
    return n;
}

std::size_t NotificationQueue::dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace kantor
