#pragma once

// Work spread over threads without an event loop: plain threads, which
// cost no file descriptor (a toolkit thread holds one for its event
// dispatcher, and a process near its limit of open files could not start it).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace brindle {

// Runs work(i) for every i in [0, count) on up to `threads` threads, the
// calling one included; each thread takes the next i when it is done with
// one. A thread that cannot be started only makes it slower.
template<typename Work>
void forEachOnThreads(std::size_t count, std::size_t threads, const Work &work)
{
    std::atomic<std::size_t> next = 0;
    const auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> started;
    for (std::size_t t = 1; t < std::min(threads, count); ++t) {
        try {
            started.emplace_back(run);
        } catch (const std::system_error &) {
            break;
        }
    }
    run();
    for (std::thread &thread : started)
        thread.join();
}

} // namespace brindle
