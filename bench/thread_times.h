#pragma once
// The benchmark thread's time in the kernel and in the program per
// iteration, as counters ("kernel ms", "user ms"): what a run asks of the
// file system beside what it does with the answers.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace bench {

class ThreadTimes {
public:
    ThreadTimes() { now(kernel_, user_); }
    void report(benchmark::State& state) const {
        double kernel = 0, user = 0;
        now(kernel, user);
        const double n = static_cast<double>(state.iterations());
        state.counters["kernel ms"] = (kernel - kernel_) / n;
        state.counters["user ms"] = (user - user_) / n;
    }

private:
    static void now(double& kernel, double& user) {
        rusage r{};
        ::getrusage(RUSAGE_THREAD, &r);
        kernel = static_cast<double>(r.ru_stime.tv_sec) * 1e3 + static_cast<double>(r.ru_stime.tv_usec) / 1e3;
        user = static_cast<double>(r.ru_utime.tv_sec) * 1e3 + static_cast<double>(r.ru_utime.tv_usec) / 1e3;
    }
    double kernel_ = 0, user_ = 0;
};

} // namespace bench
