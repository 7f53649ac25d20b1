// Wall-clock timing of functions and of whole commands, with medians.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tw::bench {

inline double Seconds(const std::function<void()>& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

struct ChildRun {
    double seconds = 0;
    long peak_kb = 0;  // maximum resident set of the child
    int status = 0;
};

// Runs `f` in a forked child and reports its time and peak memory.
inline ChildRun RunInChild(const std::function<void()>& f) {
    ChildRun r;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        f();
        _exit(0);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peak_kb = ru.ru_maxrss;
    r.status = status;
    return r;
}

// Runs a shell command in a child; stdout goes to /dev/null.
inline ChildRun RunCommand(const std::string& command) {
    std::string line = command + " >/dev/null";
    ChildRun r = RunInChild([&] {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    });
    r.status = WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1;
    return r;
}

}  // namespace tw::bench
