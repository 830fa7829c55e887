// Jobs run on several threads, their results taken in the jobs' order.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// One thread a core, at least one, and no more than there are jobs.
inline unsigned threads_for(std::size_t jobs) {
    std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(jobs, 1, cores));
}

// Runs work(0) ... work(count - 1) on threads threads and gives each result
// to take on the caller's thread, in that order, as soon as it and those
// before it are done.  take returns false to stop: no further job starts,
// the running ones are waited for and their results dropped.  While it
// waits, the caller's thread calls idle every 50 ms; idle returns false to
// stop the same way.  At most 2 * threads results wait to be taken: a slow
// first job does not let the others pile up.
template <class Result>
void in_order(std::size_t count, unsigned threads, const std::function<Result(std::size_t)> &work,
              const std::function<bool(std::size_t, Result &)> &take,
              const std::function<bool()> &idle = [] { return true; }) {
    std::vector<std::optional<Result>> done(count);
    std::mutex lock;
    std::condition_variable changed;
    std::size_t next = 0, taken = 0;
    bool stop = false;
    const std::size_t ahead = 2 * std::size_t(std::max(1u, threads));
    auto worker = [&] {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            changed.wait(held, [&] { return stop || next >= count || next < taken + ahead; });
            if (stop || next >= count)
                return;
            std::size_t i = next++;
            held.unlock();
            Result r = work(i);
            held.lock();
            done[i] = std::move(r);
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads && t < count; ++t)
        pool.emplace_back(worker);
    {
        std::unique_lock<std::mutex> held(lock);
        while (taken < count && !stop) {
            if (!done[taken]) {
                if (!changed.wait_for(held, std::chrono::milliseconds(50),
                                      [&] { return done[taken].has_value(); })) {
                    held.unlock();
                    bool go_on = idle();
                    held.lock();
                    stop = !go_on;
                }
                continue;
            }
            Result r = std::move(*done[taken]);
            done[taken].reset();
            ++taken;
            changed.notify_all();
            held.unlock();
            bool go_on = take(taken - 1, r);
            held.lock();
            stop = !go_on;
        }
        stop = true;
        changed.notify_all();
    }
    for (std::thread &t : pool)
        t.join();
}
