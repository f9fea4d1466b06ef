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

// The steps of n requests after Start (step 0 first).
std::vector<int> Steps(const PollPlan& plan, int n, PollPosition position = {}) {
    position.auxIndex = position.auxFirst = FirstAuxRequest(plan.auxInUse);
    std::vector<int> steps;
    for (int i = 0; i < n && !position.stopPolling; ++i) {
        steps.push_back(position.step);
        position = NextPollPosition(position, plan);
    }
    return steps;
}

const std::initializer_list<int> kHpSlots = {0, 1, 2, 3, 7, 8, 9, 10, 16, 17};

} // namespace

TEST(PollSequence, SlotsRunInOrderSkippingEmptyAndDisabledOnes) {
    EXPECT_EQ(Steps(Plan(kHpSlots), 11), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 2, 3, 7}));
    // Slots 4 and 5 disabled among all: ..., 3, 6, ..., 15, 2, 3, 6
    PollPlan all = Plan({0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    EXPECT_EQ(Steps(all, 16), (std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 2, 3}));
    // Slot 2 disabled: the round after the last slot begins at 3.
    EXPECT_EQ(Steps(Plan({0, 1, 3, 7}), 6), (std::vector<int>{0, 1, 3, 7, 3, 7}));
    // An empty identity slot is skipped too.
    EXPECT_EQ(Steps(Plan({0, 7, 8}), 4), (std::vector<int>{0, 7, 8, 7}));
}

TEST(PollSequence, AuxiliaryRoundFollowsTheLastSlotOnceFromTheFirstRequest) {
    PollPosition position;
    const PollPlan plan = Plan(kHpSlots, {1, 5});
    std::vector<int> indexes;
    position.auxIndex = position.auxFirst = 1;
    for (int i = 0; i < 12; ++i) {
        if (position.step == PollStepAux)
            indexes.push_back(position.auxIndex);
        position = NextPollPosition(position, plan);
    }
    EXPECT_EQ(Steps(plan, 11), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 19, 19, 2}));
    EXPECT_EQ(indexes, (std::vector<int>{1, 5}));
    // A first request no longer in use cannot make the round endless.
    PollPosition stale{PollStepAux, 5, 3, false, false};
    stale = NextPollPosition(stale, plan);
    EXPECT_EQ(stale.step, 2);
    EXPECT_EQ(stale.auxFirst, 1);
}

TEST(PollSequence, NothingToPollStopsAfterTheIdentity) {
    const std::vector<int> steps = Steps(Plan({0, 1}), 5);
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
    PollPosition afterIdentity{PollStepIdentify, -1, -1, false, false};
    EXPECT_TRUE(NextPollPosition(afterIdentity, Plan({0, 1})).stopPolling);
}

TEST(PollSequence, UserCommandAndStatusContinueTheRound) {
    const PollPlan plan = Plan(kHpSlots);
    EXPECT_EQ(NextPollPosition({PollStepUser}, plan).step, 2);
    EXPECT_EQ(NextPollPosition({PollStepStatus}, plan).step, 8);
    EXPECT_EQ(NextPollPosition({-4}, plan).step, 2); // a step out of range restarts
}

TEST(PollSequence, TimeViewHoldsTheTimeStepUntilALogLineIsDue) {
    const PollPlan plan = Plan(kHpSlots, {}, true);
    EXPECT_EQ(Steps(plan, 3), (std::vector<int>{0, 16, 16}));
    // A due log line runs the ordinary cycle from 8 on, round to the status step.
    PollPosition due{PollStepStatus, -1, -1, true, false};
    std::vector<int> steps;
    for (int i = 0; i < 7; ++i) {
        due = NextPollPosition(due, plan);
        steps.push_back(due.step);
    }
    EXPECT_EQ(steps, (std::vector<int>{8, 9, 10, 2, 3, 7, 8}));
    // Leaving the Time view at step 16 clears the log request and restarts.
    const PollPosition left = NextPollPosition({PollStepTime, -1, -1, true, false}, Plan(kHpSlots));
    EXPECT_EQ(left.step, 2);
    EXPECT_FALSE(left.logDue);
}
