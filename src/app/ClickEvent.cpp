#include "app/ClickEvent.h"

namespace sarnok {

CClickEvent ClickEvent(const CClickOutcome& click) {
    if (click.Updated()) {
        return {kEventUpdateSucceeded, EEventType::Information, RunOutcomeWord(click.m_run)};
    }
    if (click.m_lockTaken) {
        return {kEventUpdateNotStarted, EEventType::Warning, "update-lock-held"};
    }
    if (click.Busy()) {
        return {kEventUpdateNotStarted, EEventType::Warning, "printer-busy"};
    }
    if (click.m_intermediateNotReported) {
        return {kEventUpdateFailed, EEventType::Error, "intermediate-not-reported"};
    }
    if (click.m_printerNotResponding) {
        return {kEventUpdateFailed, EEventType::Error, "not-responding"};
    }
    if (click.m_run == ERunOutcome::ReplySuccess && click.m_step == EUpdateStep::Intermediate) {
        return {kEventUpdateFailed, EEventType::Error, "first-step-only"};
    }
    if (click.m_confirmation == EConfirmation::Unconfirmed) {
        return {kEventUpdateFailed, EEventType::Error, "unconfirmed"};
    }
    if (click.m_confirmation == EConfirmation::NotTaken) {
        return {kEventUpdateFailed, EEventType::Error, "not-taken"};
    }
    return {kEventUpdateFailed, EEventType::Error, RunOutcomeWord(click.m_run)};
}

} // namespace sarnok
