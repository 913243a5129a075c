// The editor's gestures on their way to the host. A VST 3 host takes
// beginEdit, performEdit and endEdit on its user-interface thread only, but on
// Linux without the host's run loop the editor's window ticks on an event
// thread of its own. So the gestures are kept here, per parameter, and handed
// to the host's edit handler on its own thread: at once when they come on it,
// otherwise at the host's next call into the effect on that thread.
//
// What is kept is each parameter's edit as the host must hear it, not a log:
// whether the editor holds it open, whether it ended since the last hand-over,
// and the latest value. So the memory is fixed, a slow host loses no final
// value, and every begin it hears is matched by an end.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "core/parameters.h"
#include "platform/vst3/editing.h"

namespace vst3face {

class HostEdits {
public:
    // The editor's side: any thread.
    void begin(int32_t index);
    void perform(int32_t index, double normalized);
    void end(int32_t index);

    // The host's side: its user-interface thread only.
    /// Hands every pending change to `handler` (none: they are dropped, as the
    /// host has no one to hear them).
    void deliver(vst3::IComponentHandler* handler);
    /// Ends every edit `handler` heard begin and has not heard end (it is
    /// being replaced); an edit the editor still holds begins again for the
    /// next handler at the next hand-over.
    void closeAll(vst3::IComponentHandler* handler);

private:
    struct Edit {
        bool held = false;       // the editor's gesture is open
        bool ended = false;      // a gesture ended since the last hand-over
        bool hasValue = false;   // a value waits
        double value = 0.0;
    };

    std::mutex mutex;
    std::array<Edit, kParamCount> edits{};
    // The host's view of each edit; touched on its thread only.
    std::array<bool, kParamCount> open{};
    bool delivering = false;
};

}  // namespace vst3face
