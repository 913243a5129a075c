#include "vst3/effect_link.h"


#include "editor/panel_layout.h"
#include "editor/skin_editor.h"
#include "engine/shaper_effect.h"
#include "host/effect_base.h"
#include "platform/run_loop.h"
#include "platform/ui_lock.h"
#include "product/shaper_effect_edit.h"
#include "vst3/parameters.h"

namespace vst3face {

static_assert(kFactoryProgramCount == kProgramCount);

namespace {

// Per thread: the audio thread may apply a host's program change while the
// editor reports a knob on the user-interface thread.
thread_local int hostSideDepth = 0;

// The host the effect sees: a VST 2.4 host whose pins are all connected.
intptr_t VSTCALLBACK faceCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t /*value*/,
                                  void* /*ptr*/, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterAutomate:
        // The effect reports during its own construction, before it has a listener.
        if (effect && effect->user && hostSideDepth == 0)
            static_cast<EditListener*>(effect->user)->editorChanged(index, opt);
        return 0;
    case audioMasterPinConnected:
        return 0;  // connected
    default:
        return 0;
    }
}

SkinEditor* editorOf(ShaperEffect* effect) { return effect ? static_cast<SkinEditor*>(effect->editor()) : nullptr; }

}  // namespace

HostSideScope::HostSideScope() { ++hostSideDepth; }
HostSideScope::~HostSideScope() { --hostSideDepth; }

EffectLink::EffectLink(EditListener* listener) {
    record = createEffectInstance(&faceCallback);
    if (!record) return;
    record->user = listener;
    effect = static_cast<ShaperEffect*>(EffectBase::fromRecord(record));
}

EffectLink::~EffectLink() {
    if (record) record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}

void EffectLink::putParameter(int32_t index, float value) { effect->putParameter(index, value); }

float EffectLink::readParameter(int32_t index) const { return effect->readParameter(index); }

float EffectLink::rawMaximum(int32_t index) const { return effect->rawMaximum[index]; }

float EffectLink::stepFor(int32_t index, float value) const { return effect->stepFor(index, value); }

void EffectLink::putParameterIfNewStep(int32_t index, float value) {
    if (effect->stepFor(index, value) == effect->rawValue[index]) return;
    effect->putParameter(index, value);
}

std::string EffectLink::parameterName(int32_t index) const {
    char text[64] = {};
    effect->parameterNameText(index, text);
    return text;
}

std::string EffectLink::parameterLabel(int32_t index) const {
    char text[64] = {};
    effect->parameterLabelText(index, text);
    return text;
}

std::string EffectLink::parameterDisplay(int32_t index) const {
    char text[64] = {};
    effect->parameterDisplayText(index, text);
    return text;
}

void EffectLink::selectProgram(int32_t program) { effect->selectProgram(program); }

int32_t EffectLink::programNumber() const { return effect->programNumber(); }

std::string EffectLink::programName(int32_t program) const {
    char text[64] = {};
    effect->indexedProgramName(0, program, text);
    return text;
}

void EffectLink::applySampleRate(float rate) { effect->applySampleRate(rate); }
void EffectLink::applyBlockSize(int32_t size) { effect->applyBlockSize(size); }
void EffectLink::switchOn() { effect->switchOn(); }
void EffectLink::switchOff() { effect->switchOff(); }
bool EffectLink::isSwitchedOn() const { return effect->isSwitchedOn(); }

void EffectLink::processReplace(float** inputs, float** outputs, int32_t frames) {
    effect->processReplace(inputs, outputs, frames);
}

int32_t EffectLink::editorWidth() const { return SkinEditor::kWidth; }
int32_t EffectLink::editorHeight() const { return SkinEditor::kHeight; }

bool EffectLink::openEditor(void* parent, bool byRunLoop) {
    const uilock::Guard guard;
    SkinEditor* editor = editorOf(effect);
    if (!editor) return false;
    if (!byRunLoop) return editor->openWindow(parent) == 1;
    const runloop::CallerDriven drivenByCaller;
    return editor->openWindow(parent) == 1;
}

void EffectLink::closeEditor() {
    const uilock::Guard guard;
    if (SkinEditor* editor = editorOf(effect)) editor->closeWindow();
}

HWND EffectLink::editorWindow() const {
    const uilock::Guard guard;
    const SkinEditor* editor = editorOf(effect);
    return editor && editor->isOpen == 1 ? editor->window : nullptr;
}

int32_t EffectLink::draggedParameter() const {
    const uilock::Guard guard;
    const SkinEditor* editor = editorOf(effect);
    if (!editor || editor->dragMode != SkinEditor::kDragKnob) return -1;
    if (editor->activeControl >= panel::kKnobCount) return -1;
    return panel::kControls[editor->activeControl].parameter;
}

}  // namespace vst3face
