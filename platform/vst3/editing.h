// VST 3 controller side: parameters and their texts, the host's edit handler,
// and units with their program lists.
#pragma once

#include "platform/vst3/audio.h"

namespace vst3 {

using UnitID = int32;
using ProgramListID = int32;
using CString = const char8*;

class IPlugView;

struct ParameterInfo {
    enum ParameterFlags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;  // 0 continuous, 1 a toggle, n: n + 1 discrete values
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

enum RestartFlags : int32 {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
};

/// The host's side of editing: calls from the user-interface thread only.
class IComponentHandler : public FUnknown {
public:
    virtual tresult VST3_API beginEdit(ParamID id) = 0;
    virtual tresult VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult VST3_API endEdit(ParamID id) = 0;
    virtual tresult VST3_API restartComponent(int32 flags) = 0;
    static constexpr Uid iid = Uid::of(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);

protected:
    ~IComponentHandler() = default;
};

class IEditController : public IPluginBase {
public:
    virtual tresult VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult VST3_API setState(IBStream* state) = 0;
    virtual tresult VST3_API getState(IBStream* state) = 0;
    virtual int32 VST3_API getParameterCount() = 0;
    virtual tresult VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult VST3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3_API createView(FIDString name) = 0;
    static constexpr Uid iid = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

protected:
    ~IEditController() = default;
};

constexpr char kEditorViewType[] = "editor";

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

class IUnitInfo : public FUnknown {
public:
    virtual int32 VST3_API getUnitCount() = 0;
    virtual tresult VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 VST3_API getProgramListCount() = 0;
    virtual tresult VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult VST3_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
    virtual tresult VST3_API getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                            String128 attributeValue) = 0;
    virtual tresult VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                 String128 name) = 0;
    virtual UnitID VST3_API getSelectedUnit() = 0;
    virtual tresult VST3_API selectUnit(UnitID unitId) = 0;
    virtual tresult VST3_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                          UnitID& unitId) = 0;
    virtual tresult VST3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
    static constexpr Uid iid = Uid::of(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

protected:
    ~IUnitInfo() = default;
};

static_assert(offsetof(ParameterInfo, title) == 4 && offsetof(ParameterInfo, shortTitle) == 260 &&
              offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, unitId) == 784 &&
              offsetof(ParameterInfo, flags) == 788 && sizeof(ParameterInfo) == 792);
static_assert(offsetof(UnitInfo, name) == 8 && offsetof(UnitInfo, programListId) == 264 && sizeof(UnitInfo) == 268);
static_assert(offsetof(ProgramListInfo, name) == 4 && offsetof(ProgramListInfo, programCount) == 260 &&
              sizeof(ProgramListInfo) == 264);

}  // namespace vst3
