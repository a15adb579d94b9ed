#pragma once
// The queue that carries device notifications to their owner's thread. Devices post from
// any thread (the audio callback included): posting never allocates and holds a lock only
// for the copy of one record. The owner's thread pumps: each pending notification is handed
// to its target, outside the lock, in the order posted.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/Notification.h"

namespace kantor {

class NotificationQueue {
public:
    explicit NotificationQueue(std::size_t capacity = 16384);
    NotificationQueue(const NotificationQueue&) = delete;
    NotificationQueue& operator=(const NotificationQueue&) = delete;

    // False when the queue is full (the notification is dropped and counted).
    bool post(NotificationTarget* target, const Notification& n);
    // Delivers everything pending, including what the targets post while being called,
    // up to `limit` notifications. Returns how many were delivered.
    std::size_t pump(std::size_t limit = static_cast<std::size_t>(-1));
    // Waits until something is pending or the time has passed, then pumps.
    std::size_t waitAndPump(std::chrono::milliseconds timeout);
    // Drops every pending notification for the target (a target that goes away calls it).
    void cancel(NotificationTarget* target);
    // Called after every post, on the posting thread, outside the lock: the owner's thread
    // schedules its pump there (the desktop program posts a queued call to its GUI thread).
    // Set it before the devices start.
    void setPostHook(std::function<void()> hook) { postHook_ = std::move(hook); }
    // Wakes a waiting pump without a notification.
    void wake();

    std::size_t pending() const;
    std::size_t pendingFor(const NotificationTarget* target) const;
    std::size_t dropped() const;

private:
    struct Entry {
        NotificationTarget* target = nullptr;
        Notification n;
    };
    bool pop(Entry& e);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Entry> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t dropped_ = 0;
    bool woken_ = false;
    std::function<void()> postHook_;
};

}  // namespace kantor
