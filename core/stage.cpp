// The drive stage, run as four lanes side by side: left and right, stage 1
// and stage 2. Each lane's recurrence is one long chain of dependent float
// operations, so running the independent chains together costs little more
// than running one. Every stored value is a 32-bit float, rounded as the plain
// per-sample loop would round it.
#include "core/stage.h"

#include <algorithm>
#include <cstdint>

#include "core/lanes.h"

namespace {

constexpr float kMixCeiling = 1.01f;  // keeps the Boost release alive at full weight

struct LaneState {
    Lanes envelope, weight, smoothed, lastShaped;
};

struct LaneCoefficients {
    Lanes attack, release, drive;
};

Lanes laneMask(bool l0, bool l1, bool l2, bool l3) {
    const float flags[4] = {l0 ? 1.0f : 0.0f, l1 ? 1.0f : 0.0f, l2 ? 1.0f : 0.0f, l3 ? 1.0f : 0.0f};
    return greater(loadLanes(flags), splat(0.0f));
}

LaneState blend(Lanes mask, const LaneState& a, const LaneState& b) {
    return {select(mask, a.envelope, b.envelope), select(mask, a.weight, b.weight),
            select(mask, a.smoothed, b.smoothed), select(mask, a.lastShaped, b.lastShaped)};
}

LaneState loadStates(const StageState* states) {
    float fields[4][4];
    for (int lane = 0; lane < 4; ++lane) {
        fields[0][lane] = states[lane].envelope;
        fields[1][lane] = states[lane].weight;
        fields[2][lane] = states[lane].smoothed;
        fields[3][lane] = states[lane].lastShaped;
    }
    return {loadLanes(fields[0]), loadLanes(fields[1]), loadLanes(fields[2]), loadLanes(fields[3])};
}

void storeStates(const LaneState& s, StageState* states) {
    float fields[4][4];
    storeLanes(fields[0], s.envelope);
    storeLanes(fields[1], s.weight);
    storeLanes(fields[2], s.smoothed);
    storeLanes(fields[3], s.lastShaped);
    for (int lane = 0; lane < 4; ++lane) {
        states[lane] = {fields[0][lane], fields[1][lane], fields[2][lane], fields[3][lane]};
    }
}

// One sample through every lane; answers the flushed outputs. Inlined so that
// the state stays in registers: a trip through memory would lengthen every
// lane's chain from one sample to the next.
template <bool kBoost>
[[gnu::always_inline]] inline Lanes stageStep(LaneState& s, Lanes input, const LaneCoefficients& co) {
    const Lanes zero = splat(0.0f);
    const Lanes one = splat(1.0f);
    const Lanes half = splat(0.5f);
    const Lanes two = splat(2.0f);

    // Clamp the stage input to full scale.
    const Lanes x = capBelow(splat(-1.0f), capAbove(one, input));
    const Lanes u = magnitude(x);

    // Shaping weight c = D (1 - e0)^6, or D (1 - e0)^3 with Boost.
    const Lanes e0 = s.envelope;
    const Lanes open = one - e0;
    const Lanes open3 = open * open * open;
    const Lanes c = kBoost ? co.drive * open3 : co.drive * (open3 * open3);

    // Envelope: attack toward u, then release, each on the envelope as it
    // stands. A step that does not apply gets a distance of 0 and leaves the
    // envelope exactly as it was, so no lane has to branch.
    if (kBoost) {
        const Lanes e = e0 + capBelow(zero, u - e0) * co.attack;
        const Lanes q = capBelow(zero, e - u);
        const Lanes slack = splat(kMixCeiling) - c;
        s.envelope = e - q * q * (slack * slack) * co.release;
    } else {
        // The release waits on nothing but e0, so it is worked out beside the
        // attack, which has to wait for c. An attack that overshoots u and so
        // releases as well is rare; it takes the slow way.
        const Lanes rising = greater(u, e0);
        const Lanes attacked = e0 + (u - e0) * co.attack * c;
        const Lanes released = e0 - capBelow(zero, e0 - u) * co.release * (e0 * e0);
        s.envelope = select(rising, attacked, released);
        const Lanes overshot = both(rising, greater(attacked, u));
        if (anyLane(overshot)) {
            const Lanes again = attacked - (attacked - u) * co.release * (attacked * attacked);
            s.envelope = select(overshot, again, s.envelope);
        }
    }

    s.weight = (s.weight + c) * half;
    const Lanes k = s.weight;

    // Folded parabola: 4u(1 - u) for 0 <= u <= 1, odd in x.
    // Above 1, 2 - t is exact and equals 1 - (t - 1); below, it is the larger.
    Lanes t = two * u;
    t = capAbove(two - t, t);
    const Lanes g = negateWhere(less(x, zero), two * t * (one - half * t));

    const Lanes y = k * g + x * (one - k * k);
    const Lanes d = capAbove(one, magnitude(y - s.lastShaped));
    s.lastShaped = y;

    // The smoother holds back more where the shaped signal moves fast.
    const Lanes follow = kBoost ? one - k * k * d : one - k * d;
    s.smoothed = s.smoothed + (y - s.smoothed) * follow;

    const Lanes level = magnitude(s.smoothed);
    return zeroWhere(both(less(level, splat(kStageFlush)), greater(level, zero)), s.smoothed);
}

// Stage 2 runs this many frames behind stage 1. A stage's output comes at the
// end of a long chain; taking it a few frames later keeps that chain off the
// path from one frame to the next.
constexpr int32_t kStageLag = 4;

template <bool kBoost, bool kTwoStages>
void runLanes(LaneState& s, float* left, float* right, int32_t count, const LaneCoefficients& co) {
    const Lanes zero = splat(0.0f);
    if (!kTwoStages) {
        for (int32_t i = 0; i < count; ++i) {
            const Lanes out = stageStep<kBoost>(s, pairWith(left[i], right[i], zero), co);
            left[i] = lane0(out);
            right[i] = lane1(out);
        }
        return;
    }

    // Frame j of stage 1 runs beside frame j - kStageLag of stage 2, which
    // reads what stage 1 left in the buffer. At both ends one stage idles and
    // keeps its state.
    const Lanes stageOne = laneMask(true, true, false, false);
    const int32_t lead = std::min(kStageLag, count);
    for (int32_t j = 0; j < lead; ++j) {
        const LaneState before = s;
        const Lanes out = stageStep<kBoost>(s, pairWith(left[j], right[j], zero), co);
        s = blend(stageOne, s, before);
        left[j] = lane0(out);
        right[j] = lane1(out);
    }
    for (int32_t j = kStageLag; j < count; ++j) {
        const int32_t k = j - kStageLag;
        const Lanes in = pairWith(left[j], right[j], pairWith(left[k], right[k], zero));
        const Lanes out = stageStep<kBoost>(s, in, co);
        left[j] = lane0(out);
        right[j] = lane1(out);
        left[k] = lane2(out);
        right[k] = lane3(out);
    }
    for (int32_t k = std::max(count - kStageLag, 0); k < count; ++k) {
        const LaneState before = s;
        const Lanes out = stageStep<kBoost>(s, pairWith(0.0f, 0.0f, pairWith(left[k], right[k], zero)), co);
        s = blend(stageOne, before, s);
        left[k] = lane2(out);
        right[k] = lane3(out);
    }
}

}  // namespace

void runStages(StageState* states, float* left, float* right, int32_t count, const StagePlan& plan,
               const StageCoefficients& coefficients) {
    const LaneCoefficients co{splat(coefficients.attack), splat(coefficients.release),
                              splat(coefficients.drive)};
    StageState saved[4];
    std::copy(states, states + 4, saved);
    LaneState s = loadStates(states);
    if (plan.boost) {
        plan.twoStages ? runLanes<true, true>(s, left, right, count, co)
                       : runLanes<true, false>(s, left, right, count, co);
    } else {
        plan.twoStages ? runLanes<false, true>(s, left, right, count, co)
                       : runLanes<false, false>(s, left, right, count, co);
    }
    storeStates(s, states);

    // Lanes that carried no audio of their own go back to where they were.
    const bool used[4] = {plan.left, plan.right, plan.left && plan.twoStages, plan.right && plan.twoStages};
    for (int lane = 0; lane < 4; ++lane) {
        if (!used[lane]) states[lane] = saved[lane];
    }
}

void runStage(StageState& state, float* buffer, int32_t count, bool boost,
              const StageCoefficients& coefficients) {
    constexpr int32_t kChunk = 64;
    StageState states[4] = {state, {}, {}, {}};
    float idle[kChunk];
    for (int32_t start = 0; start < count; start += kChunk) {
        const int32_t n = std::min(kChunk, count - start);
        std::fill_n(idle, n, 0.0f);
        runStages(states, buffer + start, idle, n, StagePlan{true, false, false, boost}, coefficients);
    }
    state = states[0];
}
