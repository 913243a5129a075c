// SkinEditor: construction and the editor interface.
#include "editor/skin_editor.h"

#include "engine/shaper_effect.h"

namespace {
ERect editorRect{0, 0, 140, 500};
}

SkinEditor::SkinEditor(ShaperEffect& effect) : EditorBase(effect), shaper(effect) {
    effect.attachEditor(this);
    effect.record()->flags |= effFlagsHasEditor;
}

SkinEditor::~SkinEditor() = default;

int32_t SkinEditor::queryRect(ERect** rect) {
    if (!rect) return 0;
    *rect = &editorRect;
    return 1;
}

int32_t SkinEditor::openWindow(void* parent) {
    parentWindow = parent;
    return 1;
}

void SkinEditor::closeWindow() {}

void SkinEditor::onIdle() {}
