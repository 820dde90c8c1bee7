#include "app/messages.h"

#include <cerrno>
#include <string>

#include "app/app_state.h"
#include "app/languages.h"
#include "ui/colours.h"
#include "ui/sounds.h"
#include "ui/toolkit/toolkit.h"

int resultDisplayMilliseconds = 3000;

Text failureText(const Failure& failure) {
    const bool noRoom = failure.error == ENOSPC || failure.error == EDQUOT;
    switch (failure.cause) {
        case FailureCause::unreadable: return text("rsn1");
        case FailureCause::pathTooLong: return text("rsn2");
        case FailureCause::notWholeText: return text("rsn3");
        case FailureCause::notWritable: return text("rsn4");
        case FailureCause::inUse: return text("rsn5");
        case FailureCause::hardLinks: return text("rsn6");
        case FailureCause::changedMeanwhile: return text("rsn7");
        case FailureCause::backupFailed: return noRoom ? text("rsn12") : text("rsn8");
        case FailureCause::outOfMemory: return text("rsn9");
        case FailureCause::matchLimit: return text("rsn10");
        case FailureCause::writeFailed: return noRoom ? text("rsn12") : text("rsn11");
        case FailureCause::none: break;
    }
    return text("rsn11");
}

Text leftAloneText(RestoreOutcome outcome) {
    switch (outcome) {
        case RestoreOutcome::editedSince: return text("rsn13");
        case RestoreOutcome::missing: return text("rsn14");
        case RestoreOutcome::backupMissing: return text("rsn15");
        case RestoreOutcome::backupChanged: return text("rsn16");
        case RestoreOutcome::failed: return text("rsn17");
        case RestoreOutcome::restored:
        case RestoreOutcome::alreadyRestored: break;
    }
    return Text();
}

void showError(int code, const Text& detail) {
    Text message = text("err" + std::to_string(code));
    if (!detail.empty()) {
        if (code == 2) message += detail;
        else message += app.lineBreak + app.quoteMark + detail + app.quoteMark;
    }
    playSound(app.errorSound);
    tk::messageBox(text("err"), message);
}

Text runResultMessage(int64_t changedCount, int64_t failedCount, bool stopped) {
    // "Not found" only when nothing failed either: a failed file may well hold the text.
    Text message = changedCount > 0 || failedCount > 0 ? text("txt8") + u" " + numberToText(changedCount)
                                                       : text("txt9");
    if (failedCount > 0) message += app.lineBreak + text("txt10") + u" " + numberToText(failedCount);
    if (stopped) message = text("stp2") + app.lineBreak + message;
    return message;
}

namespace {

void showResult(bool success, const Text& message) {
    const Gadgets& g = app.g;
    tk::setGadgetColour(g.resultBox, tk::backColour, colour(success ? "Mgreen" : "Lpink"));
    tk::setGadgetColour(g.resultText, tk::backColour, colour(success ? "aquaM" : "mistR"));
    tk::setGadgetColour(g.resultText, tk::frontColour, colour(success ? "Sgreen" : "crim"));
    const int sound = success ? app.successSound : app.errorSound;
    playSound(sound);
    tk::setGadgetText(g.resultText, message);
    tk::hideGadget(g.resultBox, false);
    // The box must be painted before the wait, which blocks the window.
    tk::discardPendingEvents();
    tk::delay(resultDisplayMilliseconds);
    playSound(sound);
    tk::hideGadget(g.resultBox, true);
}

}  // namespace

void showRunResult(int64_t changedCount, int64_t failedCount, bool stopped) {
    showResult(changedCount > 0, runResultMessage(changedCount, failedCount, stopped));
}

Text undoResultMessage(int64_t restoredCount, int64_t leftAloneCount, bool stopped) {
    Text message = text("und3") + u" " + numberToText(restoredCount);
    if (leftAloneCount > 0) message += app.lineBreak + text("txt10") + u" " + numberToText(leftAloneCount);
    if (stopped) message = text("stp3") + app.lineBreak + message;
    return message;
}

void showUndoResult(int64_t restoredCount, int64_t leftAloneCount, bool stopped) {
    showResult(restoredCount > 0, undoResultMessage(restoredCount, leftAloneCount, stopped));
}
