// Which event a click's end gives, decided from the click's outcome alone.
#pragma once

#include "app/RunOutcome.h"
#include "ports/EventLog.h"

#include <string>

namespace sarnok {

struct CClickEvent {
    unsigned m_id;
    EEventType m_type;
    // The outcome's word: the last run's, or why the click stopped or could not start.
    std::string m_outcome;
};

// 1000 when the printer took its final firmware; 1002 when nothing could start (another
// program held the update lock, or the printer was busy before anything was sent); 1001 for
// every other end of a click that ran.
CClickEvent ClickEvent(const CClickOutcome& click);

} // namespace sarnok
