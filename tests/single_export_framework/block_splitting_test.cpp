// Blocks are run in sub-blocks split at the queued events' times, through the real exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/single_export_framework/probe_fixture.h"

namespace probe {
namespace {

using host_protocol::EventType;
using host_protocol::PinStatus;

// One step the host takes: queue a status event for a pin, run a block, or resume at a
// position.
struct Step {
    enum class Action { Queue, Block, Resume } action;
    uint32_t a;  // Queue: time; Block: start; Resume: the host's position
    int32_t b;   // Queue: pin; Block: count
};

Step queueAt(uint32_t time, int32_t pin = 0) {
    return {Step::Action::Queue, time, pin};
}
Step block(uint32_t start, int32_t count) {
    return {Step::Action::Block, start, count};
}
Step resumeAt(uint32_t position) {
    return {Step::Action::Resume, position, 0};
}

struct Scenario {
    const char* name;
    uint32_t openAt;  // the host's position at open
    std::vector<Step> steps;
    const char* trace;
    bool switchRoutineOnChange = false;
};

const std::vector<Scenario> kScenarios = {
    {"SplitAtEvent",
     100,
     {queueAt(110), block(0, 64), block(0, 0)},
     "P0+10@100 E0@110 P10+54@110 P0+0@164"},
    {"SplitKeepsStartOffset", 100, {queueAt(110), block(32, 64)}, "P32+10@100 E0@110 P42+54@110"},
    {"EventAtBlockStartComesFirst", 100, {queueAt(100), block(0, 64)}, "E0@100 P0+64@100"},
    {"EventAtBlockEndWaitsForNextBlock",
     100,
     {queueAt(164), block(0, 64), block(0, 64)},
     "P0+64@100 E0@164 P0+64@164"},
    {"EventsAtBothEnds",
     100,
     {queueAt(100, 0), queueAt(164, 1), block(0, 64), block(0, 64)},
     "E0@100 P0+64@100 E1@164 P0+64@164"},
    {"EqualTimesInInsertionOrder",
     100,
     {queueAt(110, 2), queueAt(110, 0), queueAt(110, 1), block(0, 64)},
     "P0+10@100 E2@110 E0@110 E1@110 P10+54@110"},
    {"InsertedOutOfOrder",
     100,
     {queueAt(150, 1), queueAt(120, 0), block(0, 64)},
     "P0+20@100 E0@120 P20+30@120 E1@150 P50+14@150"},
    {"OverdueEventHandledBeforeFirstSample", 100, {queueAt(90), block(0, 64)}, "E0@100 P0+64@100"},
    {"OverdueEventsKeepTheirOrder",
     100,
     {queueAt(95, 1), queueAt(60, 0), block(0, 64)},
     "E0@100 E1@100 P0+64@100"},
    {"CountZeroHandlesEveryEvent",
     100,
     {queueAt(100, 0), queueAt(500, 1), queueAt(90000, 2), block(5, 0), block(0, 10)},
     "E0@100 E1@100 E2@100 P5+0@100 P0+10@100"},
    {"EventFarAheadWaits",
     0,
     {queueAt(1000), block(0, 512), block(0, 512), block(0, 512)},
     "P0+512@0 P0+488@512 E0@1000 P488+24@1000 P0+512@1024"},
    {"ResumeMovesOnlyOverdueEvents",
     0,
     {queueAt(490, 0), queueAt(600, 1), resumeAt(500), block(0, 200)},
     "E0@500 P0+100@500 E1@600 P100+100@600"},
    {"ResumeKeepsOrderOfMovedEvents",
     0,
     {queueAt(300, 1), queueAt(200, 0), queueAt(200, 2), resumeAt(500), block(0, 10)},
     "E0@500 E2@500 E1@500 P0+10@500"},
    {"BlockCrossingTheWrap",
     0xFFFFFFC0u,
     {queueAt(0x10, 1), queueAt(0xFFFFFFE0u, 0), block(0, 128), block(0, 0)},
     "P0+32@4294967232 E0@4294967264 P32+48@4294967264 E1@16 P80+48@16 P0+0@64"},
    {"EventJustBeforeTheWrapInThePreviousBlock",
     0xFFFFFF00u,
     {queueAt(0xFFFFFFFFu), block(0, 128), block(0, 128), block(0, 128)},
     "P0+128@4294967040 P0+127@4294967168 E0@4294967295 P127+1@4294967295 P0+128@0"},
    {"RoutineSwitchTakesEffectFromNextSubBlock",
     100,
     {queueAt(110), queueAt(120), block(0, 64)},
     "P0+10@100 E0@110 Q10+10@110 E0@120 P20+44@120",
     true},
};

class BlockSplitting : public testing::TestWithParam<Variant> {};

TEST_P(BlockSplitting, RunsEveryScenarioAsTraced) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        Probe probe(GetParam(), integerPins(3));
        probe.config.switchRoutineOnChange = scenario.switchRoutineOnChange;
        probe.host().setSamplePosition(scenario.openAt);
        probe.host().open();
        for (const Step& step : scenario.steps) {
            switch (step.action) {
                case Step::Action::Queue:
                    probe.host().sendStatus(step.b, PinStatus::OneShot, 0, step.a);
                    break;
                case Step::Action::Block:
                    probe.host().process(static_cast<int32_t>(step.a), step.b);
                    break;
                case Step::Action::Resume:
                    probe.host().setSamplePosition(step.a);
                    probe.host().dispatch(host_protocol::DispatcherOpcode::Resume);
                    break;
            }
        }
        EXPECT_EQ(probe.trace(), scenario.trace);
    }
}

// Opcode 10 tells the host whether it may let the module sleep: only with an empty queue.
TEST_P(BlockSplitting, QueueEmptyAnswerFollowsTheQueue) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().setSamplePosition(100);
    probe.host().open();
    EXPECT_TRUE(probe.queueEmpty());
    probe.host().sendStatus(0, PinStatus::OneShot, 0, 150);
    EXPECT_FALSE(probe.queueEmpty());
    probe.host().process(0, 32);  // ends at 132, before the event
    EXPECT_FALSE(probe.queueEmpty());
    probe.host().process(0, 32);
    EXPECT_TRUE(probe.queueEmpty());
}

// The module's clock advances by exactly count per block, whatever the host's position.
TEST_P(BlockSplitting, ClockAdvancesByCountOnly) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().setSamplePosition(1000);
    probe.host().open();
    probe.host().process(0, 64);
    probe.host().setSamplePosition(5000);  // not read again until resume
    probe.host().process(0, 64);
    EXPECT_EQ(probe.trace(), "P0+64@1000 P0+64@1064");
}

// A negative count does not run the clock backwards.
TEST_P(BlockSplitting, NegativeCountIsAnEmptyBlock) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().setSamplePosition(100);
    probe.host().open();
    probe.host().process(0, -5);
    probe.host().process(0, 4);
    EXPECT_EQ(probe.trace(), "P0+0@100 P0+4@100");
}

// A deferred call is an event of its own: it splits the block at its time.
TEST_P(BlockSplitting, DeferredCallRunsAtItsSample) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().setSamplePosition(100);
    probe.host().open();
    probe.queue(110, EventType::Data, kScheduleCall, 20, 0);
    probe.host().process(0, 64);
    EXPECT_EQ(probe.trace(), "P0+10@100 T110,23789,20 P10+20@110 D@130 P30+34@130");
    EXPECT_TRUE(probe.queueEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothCopies, BlockSplitting, testing::Values(kStandard, kClock),
                         variantName);

}  // namespace
}  // namespace probe
