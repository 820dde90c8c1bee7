#include "app/progress.h"

#include "app/app_state.h"
#include "app/languages.h"
#include "ui/toolkit/toolkit.h"

int progressDelayMilliseconds = 500;

namespace {

// A time span as minutes and seconds, "m:ss".
Text minutesAndSeconds(int64_t seconds) {
    const Text tens = seconds % 60 < 10 ? u"0" : u"";
    return numberToText(seconds / 60) + u":" + tens + numberToText(seconds % 60);
}

}  // namespace

WorkProgress::WorkProgress(int64_t total) : start_(Clock::now()), total_(total) {}

WorkProgress::~WorkProgress() {
    if (shown_) tk::hideGadget(app.g.progressBar, true);
}

void WorkProgress::update(int64_t done) {
    const Clock::duration elapsed = Clock::now() - start_;
    if (!shown_ && elapsed < std::chrono::milliseconds(progressDelayMilliseconds)) return;
    Text shown;
    if (total_ > 0) {
        shown = numberToText(done) + u" / " + numberToText(total_);
        // The time left, once a second's work tells the pace.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        if (done > 0 && done < total_ && spent >= 1000) {
            const int64_t left = (spent * (total_ - done) / done + 999) / 1000;
            shown += u", " + text("prg1") + u" " + minutesAndSeconds(left);
        }
    } else {
        shown = text("prg2") + u" " + numberToText(done);
    }
    tk::setProgress(app.g.progressBar, done, total_, shown);
    if (!shown_) {
        tk::hideGadget(app.g.progressBar, false);
        shown_ = true;
    }
}
