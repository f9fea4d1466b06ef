#include "receiver/PollSequence.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

PollPlan Plan(std::initializer_list<int> slots, std::initializer_list<int> aux = {}, bool timeView = false) {
    PollPlan plan;
    for (int slot : slots)
        plan.slotUsable[slot] = true;
    for (int index : aux)
        plan.auxInUse[index] = true;
    plan.timeView = timeView;
    return plan;
}

// The steps (19 with its auxiliary index as 100 + index) of n requests from `position` on.
std::vector<int> Steps(const PollPlan& plan, int n, PollPosition position = {}) {
    if (position.step == PollStepWakeUp)
        position.auxIndex = position.auxFirst = FirstAuxRequest(plan.auxInUse);
    std::vector<int> steps;
    for (int i = 0; i < n && !position.stopPolling; ++i) {
        steps.push_back(position.step == PollStepAux ? 100 + position.auxIndex : position.step);
        position = NextPollPosition(position, plan);
    }
    return steps;
}

const std::initializer_list<int> kHpSlots = {0, 1, 2, 3, 7, 8, 9, 10, 16, 17};

} // namespace

TEST(PollSequence, SlotsRunInOrderSkippingEmptyAndDisabledOnes) {
    EXPECT_EQ(Steps(Plan({0, 1, 3, 6, 15}), 7), (std::vector<int>{0, 1, 3, 6, 15, 3, 6}));
    EXPECT_EQ(Steps(Plan({0, 7, 8}), 4), (std::vector<int>{0, 7, 8, 7})); // no identity slot
    EXPECT_EQ(Steps(Plan({0, 1}), 5), (std::vector<int>{0, 1}));          // nothing left: stop
    EXPECT_EQ(Steps(Plan(kHpSlots), 3, {PollStepUser}), (std::vector<int>{18, 2, 3}));
    EXPECT_EQ(NextPollPosition({-4}, Plan(kHpSlots)).step, 2); // a step out of range restarts
}

TEST(PollSequence, AuxiliaryRoundFollowsTheLastSlotOnceFromTheFirstRequest) {
    EXPECT_EQ(Steps(Plan(kHpSlots, {1, 5}), 12), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 101, 105, 2, 3}));
    // A first request no longer in use cannot make the round endless.
    EXPECT_EQ(Steps(Plan(kHpSlots, {1, 5}), 3, {PollStepAux, 5, 3}), (std::vector<int>{105, 2, 3}));
}

TEST(PollSequence, TimeViewHoldsTheTimeStepUntilALogLineIsDue) {
    // Holding and the round to the log line are checked end to end in poll_cycle_test.
    EXPECT_EQ(Steps(Plan(kHpSlots, {}, true), 8, {PollStepStatus, -1, -1, true}),
              (std::vector<int>{7, 8, 9, 10, 2, 3, 7, 8}));
    const PollPosition left = NextPollPosition({PollStepTime, -1, -1, true}, Plan(kHpSlots));
    EXPECT_EQ(left.step, 2); // the Time view was left
    EXPECT_FALSE(left.logDue);
}
