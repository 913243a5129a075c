// The UI's one export: lv2ui_descriptor, over lv2face::EditorUi.
#include <lv2/core/lv2.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "lv2/ports.h"
#include "lv2ui/editor_ui.h"

namespace {

using lv2face::EditorUi;

struct Host {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
};

// The UI and what it needs of its host, in one allocation.
struct Instance {
    Host host;
    EditorUi ui;
    explicit Instance(const Host& h)
        : host(h),
          ui(&Instance::writePort, this, h.touch ? &Instance::touchPort : nullptr, this) {}

    static void writePort(void* self, uint32_t port, float value) {
        const Host& host = static_cast<Instance*>(self)->host;
        host.write(host.controller, port, sizeof value, 0, &value);
    }
    static void touchPort(void* self, uint32_t port, bool grabbed) {
        const LV2UI_Touch* touch = static_cast<Instance*>(self)->host.touch;
        touch->touch(touch->handle, port, grabbed);
    }
};

// ui:scaleFactor among the host's options, when it can be read.
double scaleFactorOf(const LV2_Options_Option* options, const LV2_URID_Map* map) {
    if (!options || !map) return 0.0;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* option = options; option->key != 0; ++option) {
        if (option->key == key && option->type == floatType && option->size == sizeof(float) && option->value)
            return *static_cast<const float*>(option->value);
    }
    return 0.0;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function writeFunction, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (!pluginUri || std::strcmp(pluginUri, lv2face::kPluginUri) != 0 || !writeFunction || !widget) return nullptr;
    Host host{writeFunction, controller, nullptr};
    void* parent = nullptr;
    bool idle = false;
    const LV2UI_Resize* resize = nullptr;
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        const char* uri = (*f)->URI;
        void* data = (*f)->data;
        if (!std::strcmp(uri, LV2_UI__parent)) parent = data;
        if (!std::strcmp(uri, LV2_UI__idleInterface)) idle = true;
        if (!std::strcmp(uri, LV2_UI__resize)) resize = static_cast<const LV2UI_Resize*>(data);
        if (!std::strcmp(uri, LV2_UI__touch)) host.touch = static_cast<const LV2UI_Touch*>(data);
        if (!std::strcmp(uri, LV2_URID__map)) map = static_cast<const LV2_URID_Map*>(data);
        if (!std::strcmp(uri, LV2_OPTIONS__options)) options = static_cast<const LV2_Options_Option*>(data);
    }
    // Both required: a window to live in, and idle calls to run it on the
    // host's UI thread.
    if (!parent || !idle) return nullptr;

    auto* instance = new (std::nothrow) Instance(host);
    if (!instance) return nullptr;
    if (const double scale = scaleFactorOf(options, map); scale > 0.0) instance->ui.setScale(scale);
    const std::uintptr_t window = instance->ui.open(reinterpret_cast<std::uintptr_t>(parent));
    if (window == 0) {
        delete instance;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(window);
    if (resize && resize->ui_resize) resize->ui_resize(resize->handle, instance->ui.width(), instance->ui.height());
    return instance;
}

void cleanup(LV2UI_Handle handle) { delete static_cast<Instance*>(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    // Float protocol: the size is sizeof(float), though some hosts pass 0.
    if (format != 0 || (size != 0 && size != sizeof(float)) || !buffer) return;
    static_cast<Instance*>(handle)->ui.portEvent(port, *static_cast<const float*>(buffer));
}

int idle(LV2UI_Handle handle) {
    static_cast<Instance*>(handle)->ui.idle();
    return 0;
}

const LV2UI_Idle_Interface kIdle = {idle};

const void* extensionData(const char* uri) {
    return uri && !std::strcmp(uri, LV2_UI__idleInterface) ? &kIdle : nullptr;
}

const LV2UI_Descriptor kDescriptor = {lv2face::kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
