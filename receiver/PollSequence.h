#pragma once
// The order of the poll steps: which step follows a completed reply.
#include "app/ViewSettings.h"

#include <array>

// Poll steps 0 to 17 are the family's poll slots; the named ones:
enum PollStep : int {
    PollStepWakeUp = 0,
    PollStepIdentify = 1,
    PollStepFirstSlot = 2, // where each round of the ordinary cycle starts
    PollStepLifeCount = 2, // the lifetime count, or the position (Datum 2000)
    PollStepErrors = 3,    // the error queue, or the jamming level (Jackson Labs)
    PollStepFee = 4,
    PollStepHealth = 5,
    PollStepMeasurements = 6,
    PollStepStatus = 7,
    PollStepFirstChannel = 8, // steps 8 to 15 answer graph channels 0 to 7
    PollStepTimeInterval = 9, // graph channel 1
    PollStepThirdChannel = 10,
    PollStepLastChannel = 15,
    PollStepTime = 16,
    PollStepTimeCode = 17,
    PollStepUser = 18,
    PollStepAux = 19,
};

// Where the cycle stands.
struct PollPosition {
    int step = PollStepWakeUp;
    int auxIndex = -1;        // auxiliary request of step 19; -1 = none
    int auxFirst = -1;        // the first auxiliary request in use: a round ends when the index is back
    bool logDue = false;      // Time view: one ordinary round is wanted for the data log
    bool stopPolling = false; // set when nothing is left to poll
};

// What the cycle may poll.
struct PollPlan {
    std::array<bool, kPollSlots> slotUsable{}; // the slot has a request and is enabled
    std::array<bool, kAuxRequests> auxInUse{}; // the auxiliary request is not empty
    bool timeView = false;
};

// Whether a timed output is due: its interval is not 0 and more than the interval has passed
// since its stamp (unsigned, so the tick count may wrap).
constexpr bool IntervalDue(DWORD now, DWORD last, int interval) {
    return interval != 0 && now - last > static_cast<DWORD>(interval);
}

// The first auxiliary request in use, or -1.
int FirstAuxRequest(const std::array<bool, kAuxRequests>& inUse);

// The step after a completed reply (and the auxiliary index with it). When no auxiliary request
// is in use both indices become -1.
PollPosition NextPollPosition(PollPosition position, const PollPlan& plan);
