// CPU time of the calling thread: the engine's share, apart from the lab's thread.
#pragma once

#include <ctime>

inline double ThreadCpuSeconds() {
    timespec T;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return double(T.tv_sec) + double(T.tv_nsec) / 1e9;
}
