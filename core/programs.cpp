#include "core/programs.h"

#include <cstring>

std::array<ProgramRecord, kProgramCount> factoryRecords() {
    std::array<ProgramRecord, kProgramCount> records;
    for (int32_t p = 0; p < kProgramCount; ++p) {
        std::strncpy(records[p].name.data(), kFactoryPrograms[p].name, kNameSize - 1);
        for (int32_t i = 0; i < kParamCount; ++i) records[p].value[i] = factoryRaw(p, i) / kRawMaximum[i];
    }
    return records;
}
