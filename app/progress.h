#pragma once
// The progress bar of long work on the Work tab (a run, a preview, an undo, "Add folders").

#include <chrono>
#include <cstdint>

// How long work goes on before its progress bar shows, in milliseconds. The program waits
// 500 ms; tests set 0.
extern int progressDelayMilliseconds;

// Shows the bar once the work has taken progressDelayMilliseconds: files done of files to
// do and, once it can be told, the time left (for work whose size is not known, as the
// folders of "Add folders", the count alone). The bar goes when the object does.
class WorkProgress {
public:
    // total: what there is to do; 0 when not known.
    explicit WorkProgress(int64_t total);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // done of total are done now. Cheap until the bar shows; call it where the window takes
    // its events, which paint it.
    void update(int64_t done);

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_;
    int64_t total_;
    bool shown_ = false;
};
