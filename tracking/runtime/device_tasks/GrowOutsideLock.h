#pragma once
// Room for one more entry in a list that readers read under a mutex, made without holding that
// mutex for the copy. A full std::vector moves every entry to a larger block inside push_back,
// that is while the appender holds the readers' mutex: for a list of millions of entries that
// copy, and the mapping of the fresh block, take 100 ms and more, and every reader waits.
// Here the larger block is filled first; only the exchange of the two blocks takes the mutex,
// and the old block is freed after it is released.
//
// The list must not change while it is copied: every writer of it calls this (and then
// appends) under one writers' lock of its own, or there is a single writer. Readers may read
// the list meanwhile; they only read.

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

namespace Kestrel::Orb::Tracking {

template <class T, class Mutex>
void growOutsideLock(std::vector<T>& list, Mutex& readers) {
    if (list.size() < list.capacity())
        return;
    std::vector<T> larger;
    larger.reserve(std::max<std::size_t>(64, 2 * list.capacity()));
    larger.insert(larger.end(), list.begin(), list.end());
    std::lock_guard<Mutex> lock(readers);
    list.swap(larger);
}

} // namespace Kestrel::Orb::Tracking
