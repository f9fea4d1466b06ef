#include "receiver/PollSequence.h"

namespace {

// From a step below the time step, on past slots that are empty or disabled.
int SkipUnusable(int step, const PollPlan& plan) {
    while (step < PollStepTime && !plan.slotUsable[step])
        ++step;
    return step;
}

int NextAuxIndex(int index) {
    return ((index + 1) % kAuxRequests + kAuxRequests) % kAuxRequests;
}

} // namespace

int FirstAuxRequest(const std::array<bool, kAuxRequests>& inUse) {
    for (int i = 0; i < kAuxRequests; ++i)
        if (inUse[i])
            return i;
    return -1;
}

PollPosition NextPollPosition(PollPosition p, const PollPlan& plan) {
    p.stopPolling = false;
    const int firstAux = FirstAuxRequest(plan.auxInUse);
    if (firstAux < 0) {
        p.auxIndex = -1;
        p.auxFirst = -1;
    } else if (p.auxFirst < 0 || p.auxFirst >= kAuxRequests || !plan.auxInUse[p.auxFirst]) {
        // A round must be able to end: it ends at a request that is in use.
        p.auxFirst = firstAux;
    }

    // Past the last slot: a round of auxiliary requests, else the first usable slot again.
    const auto wrap = [&] {
        if (firstAux >= 0) {
            p.step = PollStepAux;
            if (p.auxIndex < 0 || p.auxIndex >= kAuxRequests || !plan.auxInUse[p.auxIndex])
                p.auxIndex = p.auxFirst;
            return;
        }
        for (int step = PollStepFirstSlot; step < PollStepTime; ++step) {
            if (plan.slotUsable[step]) {
                p.step = step;
                return;
            }
        }
        p.stopPolling = true;
    };
    const auto restart = [&] {
        p.step = SkipUnusable(PollStepFirstSlot, plan);
        if (p.step >= PollStepTime)
            wrap();
    };

    if (!p.logDue && plan.timeView) {
        p.step = PollStepTime;
        return p;
    }
    switch (p.step) {
    case PollStepTime:
        if (!plan.timeView) {
            p.logDue = false;
            restart();
        } else {
            p.step = PollStepTimeCode;
            wrap();
        }
        break;
    case PollStepUser:
        restart();
        break;
    case PollStepAux: {
        if (firstAux < 0) {
            restart();
            break;
        }
        int index = NextAuxIndex(p.auxIndex);
        for (int tries = 0; tries < kAuxRequests && !plan.auxInUse[index]; ++tries)
            index = NextAuxIndex(index);
        p.auxIndex = index;
        if (index == p.auxFirst)
            restart(); // the round is complete
        break;
    }
    default:
        if (p.step < 0 || p.step > PollStepAux) {
            restart();
            break;
        }
        p.step = p.step + 1;
        if (p.step < PollStepTime)
            p.step = SkipUnusable(p.step, plan);
        if (p.step >= PollStepTime)
            wrap();
        break;
    }
    return p;
}
