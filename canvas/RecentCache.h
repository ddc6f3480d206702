#pragma once

#include <QMutex>
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// The last few values made, by key. A job that draws what the job just before it drew (the
// proof copy after its print job, the sender's bar code on every mailer of a run) takes
// them as they are instead of making them again. The newest come first; the oldest is
// dropped when the cache is full. Safe to share between threads.
template <typename Key, typename Value, std::size_t Capacity> class RecentCache {
public:
    template <typename Make> Value get(const Key& key, Make make)
    {
        {
            const QMutexLocker lock(&mutex_);
            const auto found =
                std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) { return entry.first == key; });
            if (found != entries_.end()) {
                std::rotate(entries_.begin(), found, found + 1);
                return entries_.front().second;
            }
        }
        Value value = make();
        const QMutexLocker lock(&mutex_);
        entries_.insert(entries_.begin(), {key, value});
        if (entries_.size() > Capacity)
            entries_.pop_back();
        return value;
    }

private:
    QMutex mutex_;
    std::vector<std::pair<Key, Value>> entries_;
};
