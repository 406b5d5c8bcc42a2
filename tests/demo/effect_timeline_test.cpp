#include "demo/effect_timeline.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "demo/effect.h"
#include "demo/frame_counter.h"
#include "demo/script_reader.h"
#include "demo/script_writer.h"

namespace {

// Plain effects with the given windows, made the way the script makes them.
class Timeline {
public:
    Timeline(std::initializer_list<std::pair<float, float>> windows)
    {
        for (const auto& window : windows) {
            ScriptWriter writer;
            writer.WriteString("effect");
            writer.WriteFloat(window.first);
            writer.WriteFloat(window.second);
            ScriptReader reader(writer.Bytes().data(), writer.Bytes().size());
            owned.emplace_back(new Effect(nullptr));
            EXPECT_EQ(owned.back()->Read(&reader), 0);
            effects.push_back(owned.back().get());
        }
        BuildTransitions(effects.data(), Count(), &transitions);
    }
    int Count() const { return static_cast<int>(effects.size()); }
    EffectSelection Select(float t) const { return SelectEffects(effects.data(), Count(), t); }
    float Amount(float t) const { return TransitionAmount(transitions, Select(t).active, t); }

    std::vector<std::unique_ptr<Effect>> owned;
    std::vector<Effect*> effects;
    std::vector<Transition> transitions;
};

void ExpectSelection(const Timeline& timeline, float t, int active, int incoming)
{
    EffectSelection selection = timeline.Select(t);
    EXPECT_EQ(selection.active, active) << "t = " << t;
    EXPECT_EQ(selection.incoming, incoming) << "t = " << t;
}

TEST(EffectTimeline, OverlapCrossfadesFromIncomingStartToActiveEnd)
{
    Timeline timeline{{0.0f, 10000.0f}, {8000.0f, 20000.0f}};
    ASSERT_EQ(timeline.transitions.size(), 1u);
    EXPECT_TRUE(timeline.transitions[0].overlapping);
    EXPECT_EQ(timeline.transitions[0].start, 8000.0f);
    EXPECT_EQ(timeline.transitions[0].end, 10000.0f);

    ExpectSelection(timeline, 7999.0f, 0, -1);
    ExpectSelection(timeline, 8000.0f, 0, 1);
    EXPECT_EQ(timeline.Amount(8000.0f), 0.0f); // drawn into the target, not blended
    ExpectSelection(timeline, 9000.0f, 0, 1);
    EXPECT_FLOAT_EQ(timeline.Amount(9000.0f), 0.5f);
    // The active window is half open: at its end the incoming effect takes over.
    ExpectSelection(timeline, 10000.0f, 1, -1);
    EXPECT_EQ(timeline.Amount(10000.0f), 0.0f);
}

TEST(EffectTimeline, GapsAndEdgesShowNothing)
{
    Timeline timeline{{1000.0f, 2000.0f}, {3000.0f, 4000.0f}};
    ExpectSelection(timeline, 0.0f, -1, -1);
    ExpectSelection(timeline, 999.9f, -1, -1);
    ExpectSelection(timeline, 1000.0f, 0, -1);
    ExpectSelection(timeline, 2500.0f, -1, -1);
    ExpectSelection(timeline, 4000.0f, -1, -1);
    EXPECT_FALSE(timeline.transitions[0].overlapping);
}

TEST(EffectTimeline, AdjacentWindowsCutAtTheBoundary)
{
    Timeline timeline{{0.0f, 5000.0f}, {5000.0f, 9000.0f}};
    EXPECT_FALSE(timeline.transitions[0].overlapping);
    ExpectSelection(timeline, 4999.0f, 0, -1);
    ExpectSelection(timeline, 5000.0f, 1, -1);
    EXPECT_EQ(timeline.Amount(5000.0f), 0.0f);
}

TEST(EffectTimeline, OnlyTheSuccessorCanBeIncoming)
{
    // C overlaps A but is not A's successor: it is never drawn over A.
    Timeline timeline{{0.0f, 10.0f}, {20.0f, 30.0f}, {5.0f, 25.0f}};
    ExpectSelection(timeline, 7.0f, 0, -1);
    // Within B's window C is B's successor and fades in.
    ExpectSelection(timeline, 22.0f, 1, 2);
    // A transition exists only between consecutive records; B -> C overlaps
    // from C's start (5) to B's end (30).
    EXPECT_TRUE(timeline.transitions[1].overlapping);
    EXPECT_FLOAT_EQ(timeline.Amount(22.0f), (22.0f - 5.0f) / (30.0f - 5.0f));
    // Unsorted windows: the first containing window in script order wins.
    ExpectSelection(timeline, 27.0f, 1, -1);
}

TEST(EffectTimeline, FewerThanTwoEffectsHaveNoTransitions)
{
    Timeline one{{0.0f, 1000.0f}};
    EXPECT_TRUE(one.transitions.empty());
    EXPECT_EQ(one.Amount(500.0f), 0.0f);
    Timeline none{};
    ExpectSelection(none, 0.0f, -1, -1);

    // Rebuilding for a single effect drops the transitions of an earlier list.
    Timeline two{{0.0f, 10.0f}, {5.0f, 20.0f}};
    BuildTransitions(one.effects.data(), 1, &two.transitions);
    EXPECT_TRUE(two.transitions.empty());
}

TEST(FrameCounter, RateAppearsAfterMoreThanOneSecond)
{
    FrameCounter counter(1000);
    for (int i = 0; i < 30; ++i)
        counter.CountFrame(1000 + 33 * i); // up to 0.957 s
    EXPECT_EQ(counter.GetFramesPerSecond(), 0.0f);
    counter.CountFrame(2000); // exactly one second: not yet
    EXPECT_EQ(counter.GetFramesPerSecond(), 0.0f);
    EXPECT_EQ(counter.GetFrames(), 31);
    counter.CountFrame(2500); // 32 frames in 1.5 s
    EXPECT_FLOAT_EQ(counter.GetFramesPerSecond(), 32.0f / 1.5f);
    EXPECT_EQ(counter.GetFrames(), 0);
    counter.CountFrame(3000); // 0.5 s later: unchanged
    EXPECT_FLOAT_EQ(counter.GetFramesPerSecond(), 32.0f / 1.5f);
}

TEST(FrameCounter, SurvivesTheTickCountWrapping)
{
    FrameCounter counter(0xFFFFFF00u);
    counter.CountFrame(0x00000100u); // 512 ms later, across the wrap
    EXPECT_FLOAT_EQ(counter.GetNow(), 0.512f);
}

} // namespace
