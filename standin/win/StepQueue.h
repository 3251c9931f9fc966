#pragma once
// The scripted answers for one kind of dialog: queued by the script's thread, taken in order by the
// robot's thread.
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace standin::win {

template <class Step>
class StepQueue {
public:
    void Push(Step step) {
        std::lock_guard lock(mutex_);
        steps_.push_back(std::move(step));
    }
    /// Puts back a step taken for a dialog that had no use for it: it is the next again.
    void PushFront(Step step) {
        std::lock_guard lock(mutex_);
        steps_.push_front(std::move(step));
    }
    /// Forgets and returns the steps left.
    std::vector<Step> TakeAll() {
        std::lock_guard lock(mutex_);
        std::vector<Step> left(steps_.begin(), steps_.end());
        steps_.clear();
        return left;
    }
    /// Takes the next step; unset when none is left.
    std::optional<Step> Next() {
        std::lock_guard lock(mutex_);
        if (steps_.empty()) return std::nullopt;
        Step step = std::move(steps_.front());
        steps_.pop_front();
        return step;
    }

private:
    std::mutex mutex_;
    std::deque<Step> steps_;
};

}  // namespace standin::win
