#include "lv2/ports.h"

#include "core/value_text.h"

namespace lv2face {

float portValue(const ParamRow& row, float raw) {
    switch (row.shown) {
        case Shown::kDecibels:
        case Shown::kPercent:
            return shownNumber(row, raw);
        case Shown::kOnOff:
        case Shown::kProgramName:
        case Shown::kFactor:
            break;
    }
    return raw;
}

float rawOfPortValue(const ParamRow& row, float value) { return stepOfShown(row, value); }

}  // namespace lv2face
