#pragma once
// A bounded queue between the caller's thread and one helper thread that the queue starts, so
// that input is read or output written beside the conversion. Each side sleeps while it can do
// nothing and is woken only once the other has made enough room or work for it: a wake-up is a
// system call, too dear to pay for every item. What the helper's work throws does not end the
// process: the caller's next call on the queue throws it.
#include <QtGlobal>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// Where a helper's work runs: on a thread of its own, or in the caller's thread, as when no
// thread can be started (tests ask for it to run that path).
enum class Threading { Own, Caller };

// Called by a helper's thread once per item, where nothing else catches what it throws: tests
// throw from it to see that the failure reaches the caller. Empty: nothing is called.
using FaultHook = std::function<void()>;

template <typename Item> class WorkQueue {
public:
    // In weights: an item weighs 1 unless push() says otherwise.
    struct Limits {
        size_t most;     // push() waits while this much waits...
        size_t resumeAt; // ...until it is down to this
        size_t wakeAt;   // pop() on an empty queue waits for this much (or the end, or drain())
    };

    explicit WorkQueue(Limits limits) : m_limits(usable(limits)) {
        Q_ASSERT(limits.most >= 1 && limits.wakeAt >= 1 && limits.wakeAt <= limits.most);
    }
    // The limits as the queue keeps them: at least 1 item waits, and pop() waits for no more than
    // can wait (a larger wakeAt would leave both sides asleep).
    static Limits usable(Limits limits) {
        limits.most = std::max<size_t>(limits.most, 1);
        limits.wakeAt = std::clamp<size_t>(limits.wakeAt, 1, limits.most);
        return limits;
    }
    ~WorkQueue() { stop(); }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Runs `work` on the queue's thread. False when `threading` asks for none or no thread can be
    // started: the caller then does the work itself and leaves the queue unused. What `work`
    // throws ends the helper's side: the caller's next push(), pop() or drain() throws it, once
    // the items made before it are taken.
    template <typename Work> bool start(Threading threading, Work&& work) {
        if (threading == Threading::Caller)
            return false;
        try {
            m_thread = std::thread([this, work = std::forward<Work>(work)]() mutable {
                try {
                    work();
                } catch (...) {
                    helperFailed(std::current_exception());
                }
            });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    // Whether start() started the thread (and it has not been stopped).
    bool threaded() const { return m_thread.joinable(); }

    // Adds `item`, waiting while the queue is full; false once it is stopped (the item is dropped).
    bool push(Item&& item, size_t weight = 1) {
        std::unique_lock lock(m_mutex);
        if (m_weight >= m_limits.most && !m_stopped && !m_failure) {
            m_pushWaiting = true;
            m_changed.wait(lock, [this] { return m_stopped || m_failure || m_weight <= m_limits.resumeAt; });
            m_pushWaiting = false;
        }
        throwFailure();
        if (m_stopped)
            return false;
        m_items.push_back(Entry{std::move(item), weight});
        m_weight += weight;
        const bool wake = m_popWaiting && (m_weight >= m_limits.wakeAt || m_draining);
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        return true;
    }

    // The first item into `item`, waiting while there is none; false once the queue is stopped,
    // or ended and empty. For drain(), an item is being dealt with until pop() is called again.
    bool pop(Item& item) {
        std::unique_lock lock(m_mutex);
        m_busy = false;
        if (m_items.empty()) {
            if (m_draining)
                m_changed.notify_all();
            m_popWaiting = true;
            m_changed.wait(lock, [this] {
                return m_stopped || m_ended || m_failure || m_weight >= m_limits.wakeAt ||
                       (m_draining && !m_items.empty());
            });
            m_popWaiting = false;
        }
        if (m_items.empty())
            throwFailure();
        if (m_stopped || m_items.empty())
            return false;
        item = std::move(m_items.front().item);
        m_weight -= m_items.front().weight;
        m_items.pop_front();
        m_busy = true;
        const bool wake = m_pushWaiting && m_weight <= m_limits.resumeAt;
        lock.unlock();
        if (wake)
            m_changed.notify_all();
        return true;
    }

    // Waits until every item pushed has been popped and dealt with.
    void drain() {
        std::unique_lock lock(m_mutex);
        m_draining = true;
        if (m_popWaiting && !m_items.empty())
            m_changed.notify_all(); // the few items below wakeAt
        m_changed.wait(lock, [this] { return m_stopped || m_failure || (m_items.empty() && !m_busy); });
        m_draining = false;
        throwFailure();
    }

    // Nothing more is pushed: pop() hands out what waits, then returns false.
    void end() {
        {
            std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_changed.notify_all();
    }

    // Ends the queue and waits for the thread, which takes what waits first.
    void finish() {
        end();
        join();
    }

    // Wakes both sides to give up, drops what waits, and waits for the thread.
    void stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
        join();
    }

private:
    struct Entry {
        Item item;
        size_t weight;
    };
    void join() {
        if (m_thread.joinable())
            m_thread.join();
    }
    // The helper's work ended with `failure`: both sides wake, and the caller gets it.
    void helperFailed(std::exception_ptr failure) noexcept {
        {
            std::lock_guard lock(m_mutex);
            m_failure = std::move(failure);
        }
        m_changed.notify_all();
    }
    // Throws what ended the helper's work (with the lock held), each time the caller asks for
    // what the helper would have done.
    void throwFailure() const {
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

    const Limits m_limits;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_items;
    size_t m_weight = 0; // of the items waiting
    bool m_pushWaiting = false;
    bool m_popWaiting = false;
    bool m_busy = false;     // the popping side deals with an item
    bool m_draining = false; // drain() waits
    bool m_ended = false;
    bool m_stopped = false;
    std::exception_ptr m_failure; // what ended the helper's work
    std::thread m_thread;
};

// Items handed from one thread to the other without waiting: emptied buffers given back for
// reuse, failures to report.
template <typename T> class Handback {
public:
    // Keeps `item` unless `most` are kept already.
    void give(T item, size_t most = std::numeric_limits<size_t>::max()) {
        std::lock_guard lock(m_mutex);
        if (m_items.size() < most)
            m_items.push_back(std::move(item));
    }
    // The item given last, or T() when none is kept.
    T take() {
        std::lock_guard lock(m_mutex);
        if (m_items.empty())
            return T();
        T item = std::move(m_items.back());
        m_items.pop_back();
        return item;
    }
    // Every item kept, in the order given.
    std::vector<T> takeAll() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_items, {});
    }

private:
    std::mutex m_mutex;
    std::vector<T> m_items;
};
