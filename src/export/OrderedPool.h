#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace velmora::exporting {

// Runs tasks side by side on worker threads, each thread with a context of its own (a
// converter), and hands the results back in the order the tasks were given: whoever records
// them sees one message after the other, whichever finished first. It never holds more than
// capacity results that have not been taken back.
template <class Context, class Result>
class OrderedPool {
  public:
    // A task must not throw: it turns its own failures into its result.
    using Task = std::function<Result(Context&)>;

    // One thread per context, at least one.
    OrderedPool(std::vector<Context> contexts, std::size_t capacity)
        : m_contexts(std::move(contexts)), m_capacity(std::max<std::size_t>(capacity, 1)) {
        if (m_contexts.empty()) {
            m_contexts.emplace_back();
        }
        m_threads.reserve(m_contexts.size());
        for (Context& context : m_contexts) {
            m_threads.emplace_back([this, &context] { Work(context); });
        }
    }

    // Tasks not yet started are dropped; those under way are waited for.
    ~OrderedPool() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_work.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    // Results given or promised and not yet taken back.
    std::size_t Pending() const {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }
    bool HasRoom() const { return Pending() < m_capacity; }

    // Only when HasRoom(); false (and nothing queued) otherwise.
    bool Submit(Task task) {
        {
            std::lock_guard lock(m_mutex);
            if (m_results.size() >= m_capacity) {
                return false;
            }
            m_results.emplace_back();
            m_queue.emplace_back(m_results.size() - 1 + m_taken, std::move(task));
        }
        m_work.notify_one();
        return true;
    }

    // A result that needs no work keeps its place in the order all the same. Never refused:
    // it holds no thread.
    void SubmitDone(Result result) {
        std::lock_guard lock(m_mutex);
        m_results.emplace_back(std::move(result));
    }

    // The next result in order, once it is there; nothing when none is pending or it did not
    // come within wait.
    std::optional<Result> TakeNext(std::chrono::milliseconds wait) {
        std::unique_lock lock(m_mutex);
        if (m_results.empty() ||
            !m_done.wait_for(lock, wait, [this] { return m_results.front().has_value(); })) {
            return std::nullopt;
        }
        Result result = std::move(*m_results.front());
        m_results.pop_front();
        ++m_taken;
        return std::optional<Result>(std::move(result));
    }

  private:
    void Work(Context& context) {
        while (true) {
            std::pair<std::size_t, Task> job;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return m_closing || !m_queue.empty(); });
                if (m_closing) {
                    return;
                }
                job = std::move(m_queue.front());
                m_queue.pop_front();
            }
            Result result = job.second(context);
            {
                std::lock_guard lock(m_mutex);
                m_results[job.first - m_taken] = std::move(result);
            }
            m_done.notify_all();
        }
    }

    std::vector<Context> m_contexts;
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::deque<std::pair<std::size_t, Task>> m_queue;  // by sequence number
    std::deque<std::optional<Result>> m_results;       // from sequence number m_taken on
    std::size_t m_taken = 0;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

}  // namespace velmora::exporting
