#pragma once
// Work on a long list shared between the calling thread and one more thread: the list is cut
// in two and the second part runs beside the first. Only the calling thread may let events run.
#include <QtGlobal>

#include <exception>
#include <system_error>
#include <thread>

// Below this many items a second thread is not worth starting.
constexpr qsizetype kParallelMin = qsizetype(1) << 16;

// Calls work(begin, end, calling) for [0, cut) on this thread (calling = true) and for [cut, n)
// on another, or once for [0, n) when n is small or cut is not inside. What either part throws
// is thrown here once both have ended.
template <typename Work> void inTwoParts(qsizetype n, qsizetype cut, Work&& work) {
    if (n < kParallelMin || cut <= 0 || cut >= n) {
        work(qsizetype(0), n, true);
        return;
    }
    std::exception_ptr failure;
    std::thread other;
    try {
        other = std::thread([&] {
            try {
                work(cut, n, false);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: the calling thread does all the work.
        work(qsizetype(0), n, true);
        return;
    }
    try {
        work(qsizetype(0), cut, true);
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failure)
        std::rethrow_exception(failure);
}
