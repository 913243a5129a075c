// How an editor tells its face what the user does. Each gesture concerns one
// parameter: it begins, sets one or more raw values, and ends. A knob drag
// spans many editor ticks; a click is a whole gesture at once. Each face
// passes them on as its host's edits (VST 2 audioMasterBeginEdit, Automate
// and EndEdit; VST 3 beginEdit, performEdit and endEdit; ...), so that hosts
// can record a touch.
#pragma once

#include <cstdint>

class EditEvents {
public:
    virtual void beginEdit(int32_t index) = 0;
    /// The user set parameter `index` to raw step `raw`.
    virtual void performEdit(int32_t index, float raw) = 0;
    virtual void endEdit(int32_t index) = 0;

protected:
    ~EditEvents() = default;
};
