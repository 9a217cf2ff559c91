#include "WorkerTeam.h"

#include <omp.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

namespace
{
// Set on every thread while it runs pieces of a loop: a loop inside runs on that thread alone.
thread_local bool t_inLoop = false;

class CWorkerTeam
{
public:
    // False when another loop has the team; the caller then runs the loop alone.
    bool Run(long count, long grain, int threads, const std::function<void(long, long)>& body)
    {
        std::unique_lock<std::mutex> busy(m_busy, std::try_to_lock);
        if (!busy.owns_lock())
            return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Workers are started when first wanted and then kept; they live as long as the process.
            for (; m_started < threads - 1; ++m_started)
                std::thread([this] { Work(); }).detach();
            m_body = &body;
            m_count = count;
            m_grain = grain;
            m_next.store(0, std::memory_order_relaxed);
            m_error = nullptr;
            m_wanted = threads - 1;
            m_joined = 0;
            ++m_generation;
        }
        m_wake.notify_all();
        RunPieces();
        // No worker joins once the caller has run out of pieces; those that joined are waited for.
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wanted = m_joined;
        m_done.wait(lock, [this] { return m_active == 0; });
        m_body = nullptr;
        if (m_error)
            std::rethrow_exception(m_error);
        return true;
    }

private:
    void Work()
    {
        std::uint64_t seen = 0;
        for (;;)
        {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_generation != seen && m_joined < m_wanted; });
                seen = m_generation;
                ++m_joined;
                ++m_active;
            }
            RunPieces();
            std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_active == 0)
                m_done.notify_one();
        }
    }

    void RunPieces()
    {
        t_inLoop = true;
        try
        {
            for (;;)
            {
                const long begin = m_next.fetch_add(m_grain, std::memory_order_relaxed);
                if (begin >= m_count)
                    break;
                (*m_body)(begin, std::min(m_count, begin + m_grain));
            }
        }
        catch (...)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_error)
                m_error = std::current_exception();
            // The other threads stop after their current piece.
            m_next.store(m_count, std::memory_order_relaxed);
        }
        t_inLoop = false;
    }

    std::mutex m_busy;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    int m_started = 0, m_wanted = 0, m_joined = 0, m_active = 0;
    std::uint64_t m_generation = 0;
    const std::function<void(long, long)>* m_body = nullptr;
    long m_count = 0, m_grain = 1;
    std::atomic<long> m_next{0};
    std::exception_ptr m_error;
};

// Never destroyed: detached workers wait on it until the process ends. A child process after fork
// has none of the parent's workers and starts a team of its own.
std::atomic<CWorkerTeam*> g_team{nullptr};

CWorkerTeam& Team()
{
    static const bool forkHandled = [] {
        pthread_atfork(nullptr, nullptr, [] { g_team.store(nullptr); });
        return true;
    }();
    (void)forkHandled;
    CWorkerTeam* team = g_team.load();
    if (!team)
    {
        CWorkerTeam* made = new CWorkerTeam;
        if (g_team.compare_exchange_strong(team, made))
            team = made;
        else
            delete made;
    }
    return *team;
}
}  // namespace

namespace qlw
{
void ParallelFor(long count, long grain, bool parallel, const std::function<void(long, long)>& body)
{
    if (count <= 0)
        return;
    grain = std::max(1L, grain);
    const int threads = static_cast<int>(std::min<long>(omp_get_max_threads(), (count + grain - 1) / grain));
    if (parallel && threads > 1 && !t_inLoop && !omp_in_parallel() && Team().Run(count, grain, threads, body))
        return;
    const bool outer = t_inLoop;
    t_inLoop = true;
    try
    {
        body(0, count);
    }
    catch (...)
    {
        t_inLoop = outer;
        throw;
    }
    t_inLoop = outer;
}
}
