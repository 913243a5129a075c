// EffectCore: parameters, program records, the coefficient set and the readout.
#include "core/effect_core.h"

#include "core/value_text.h"

namespace {

constexpr int32_t kReadoutHoldTicks = 20;

std::atomic<void (*)()> derivationProbe{nullptr};

// Hosts may send values outside 0..1 or not finite; the record keeps the
// value held to the range.
float withinRange(float value) {
    if (!(value >= 0.0f)) return 0.0f;
    return value > 1.0f ? 1.0f : value;
}

}  // namespace

EffectCore::EffectCore() : programs(factoryRecords()) {
    for (int32_t i = 0; i < kParamCount; ++i) rawValue.values[i] = factoryRaw(0, i);
    publishCoefficients();
}

float EffectCore::stepFor(int32_t index, float value) {
    return isParameter(index) ? stepOf(kParameters[index], value) : 0.0f;
}

float EffectCore::normalized(int32_t index) const {
    if (!isParameter(index)) return 0.0f;
    return rawValue[index] / rawMaximum[index];
}

void EffectCore::storeRaw(int32_t index, float raw) {
    if (!isParameter(index)) return;
    rawValue.values[index] = raw;
    changes.fetch_add(1, std::memory_order_seq_cst);
}

void EffectCore::setParameter(int32_t index, float value, bool announce, int32_t program) {
    if (!isParameter(index)) return;
    value = withinRange(value);
    storeRaw(index, stepFor(index, value));
    if (isProgram(program)) programs[program].value[index] = value;

    if (announce) {
        const int32_t kind = readoutKindOf(index);
        display.readoutKind = kind;
        updateReadout(kind, 1);
    } else {
        updateReadout(kReadoutDrive, 0);
    }
}

void EffectCore::loadProgram(int32_t program) {
    if (!isProgram(program)) return;
    for (int32_t i = 0; i < kParamCount; ++i) {
        setParameter(i, programs[program].value[i], true, program);
        setParameter(i, normalized(i), false, program);
    }
    updateReadout(kReadoutNone, 0);
}

// Any thread may derive, so two derivations can overlap: one on a host's
// user-interface thread, one on its audio thread applying automation. The one
// that read older raw values could publish last and leave the sound off its
// parameters for good. So every raw store is followed by a bump of `changes`,
// a derivation publishes with sequentially consistent stores, then checks
// `changes` again and derives once more if it moved. Why that is enough: if a
// stale derivation S stores a coefficient after a fresher one F did, then in
// the single order of sequentially consistent operations F's bump comes
// before F's store, F's store before S's (they are stores to one value), and
// S's store before S's check; so the check sees the bump, and S derives
// again, reading the raw value F's bump released. The audio thread never
// waits: it only repeats a derivation that a change overtook, which is as
// rare as the change.
void EffectCore::publishCoefficients() {
    for (;;) {
        const uint32_t seen = changes.load(std::memory_order_seq_cst);
        const Coefficients derived = deriveCoefficients(
            {rawValue[kIngain], rawValue[kAttack], rawValue[kRelease], rawValue[kDrive]}, rateScale);
        if (void (*probe)() = derivationProbe.load(std::memory_order_relaxed)) probe();
        flushThreshold.storeInOrder(derived.flushThreshold);
        inputGain.storeInOrder(derived.inputGain);
        attackCoef.storeInOrder(derived.attackCoef);
        releaseCoef.storeInOrder(derived.releaseCoef);
        driveAmount.storeInOrder(derived.driveAmount);
        if (changes.load(std::memory_order_seq_cst) == seen) return;
    }
}

void EffectCore::setDerivationProbe(void (*probe)()) { derivationProbe.store(probe); }

void EffectCore::updateReadout(int32_t kind, uint8_t hold) {
    publishCoefficients();
    if (kind == kReadoutNone) {
        display.readoutText.clear();
        return;
    }
    if (hold == 1) display.readoutHold = kReadoutHoldTicks;
    writeReadoutValue(kind);
}

void EffectCore::writeReadoutValue(int32_t kind) {
    for (int32_t i = 0; i < kParamCount; ++i) {
        const ParamRow& info = kParameters[i];
        if (info.readoutKind != kind) continue;
        // Decibels keep one character more, for the sign the readout draws as a bar.
        const int used = info.shown == Shown::kDecibels ? 3 : 4;
        display.readoutText.assign(valueText(info, rawValue[i], used).c_str());
        return;
    }
}
