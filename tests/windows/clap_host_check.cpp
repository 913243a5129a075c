// The Windows host check of the CLAP module: loads Varnox.clap as a host
// does, renders the script's audio through every factory program (chosen
// with the program parameter through params.flush), opens the editor in a
// real window, drives it with the script's mouse messages and compares audio
// and pixels with what the native build's VST 2 path produced for the same
// script.
//   clap_host_check MODULE REFERENCE_DIR [CAPTURE.rgb]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/clap/extensions.h"
#include "tests/windows/host_script.h"
#include "tests/windows/window_host.h"

namespace {

int failures = 0;

void fail(const std::string& message) {
    std::fprintf(stderr, "FAIL: %s\n", message.c_str());
    ++failures;
}

// A host that offers nothing beyond itself: the editor then runs on the
// system's message loop, as a Windows host expects.
const clap_host_t kHost = {
    {1, 2, 2}, nullptr, "Varnox Windows check", "Varnox", "", "1",
    [](const clap_host_t*, const char*) -> const void* { return nullptr; },
    [](const clap_host_t*) {}, [](const clap_host_t*) {}, [](const clap_host_t*) {},
};

struct Events {
    clap_event_param_value_t event{};
    clap_input_events_t in{this, [](const clap_input_events_t*) -> uint32_t { return 1; },
                           [](const clap_input_events_t* l, uint32_t) -> const clap_event_header_t* {
                               return &static_cast<Events*>(l->ctx)->event.header;
                           }};
    clap_output_events_t out{this, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};

    explicit Events(clap_id id, double value) {
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = id;
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = value;
    }
};

struct Instance {
    explicit Instance(const clap_plugin_factory_t* factory) {
        plugin = factory->create_plugin(factory, &kHost, "com.zem.varnox");
        if (plugin && !plugin->init(plugin)) {
            plugin->destroy(plugin);
            plugin = nullptr;
        }
    }
    ~Instance() {
        if (plugin) plugin->destroy(plugin);
    }
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin->get_extension(plugin, id));
    }
    void setProgram(int program) const {
        Events events(7, program);
        extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(plugin, &events.in, &events.out);
    }
    const clap_plugin_t* plugin = nullptr;
};

std::vector<float> renderProgram(const clap_plugin_factory_t* factory, int program) {
    Instance instance(factory);
    if (!instance.plugin) return {};
    instance.setProgram(program);
    const clap_plugin_t* p = instance.plugin;
    if (!p->activate(p, hostscript::kSampleRate, 1, hostscript::kMaxBlock) || !p->start_processing(p)) return {};

    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> output(input.size());
    std::vector<float> inLeft(hostscript::kMaxBlock), inRight(hostscript::kMaxBlock);
    std::vector<float> outLeft(hostscript::kMaxBlock), outRight(hostscript::kMaxBlock);
    float* ins[2] = {inLeft.data(), inRight.data()};
    float* outs[2] = {outLeft.data(), outRight.data()};
    clap_audio_buffer_t inBuffer{ins, nullptr, 2, 0, 0};
    clap_audio_buffer_t outBuffer{outs, nullptr, 2, 0, 0};
    const clap_input_events_t none{nullptr, [](const clap_input_events_t*) -> uint32_t { return 0; },
                                   [](const clap_input_events_t*, uint32_t) -> const clap_event_header_t* {
                                       return nullptr;
                                   }};
    const clap_output_events_t ignored{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) {
                                           return true;
                                       }};
    constexpr uint32_t kBlocks[] = {512, 333, 64, 7, 1024, 1, 250};
    int done = 0;
    for (std::size_t n = 0; done < hostscript::kFrames; ++n) {
        const auto count = std::min<uint32_t>(kBlocks[n % std::size(kBlocks)], hostscript::kFrames - done);
        for (uint32_t i = 0; i < count; ++i) {
            inLeft[i] = input[2 * (done + i)];
            inRight[i] = input[2 * (done + i) + 1];
        }
        clap_process_t block{-1, count, nullptr, &inBuffer, &outBuffer, 1, 1, &none, &ignored};
        p->process(p, &block);
        for (uint32_t i = 0; i < count; ++i) {
            output[2 * (done + i)] = outLeft[i];
            output[2 * (done + i) + 1] = outRight[i];
        }
        done += static_cast<int>(count);
    }
    p->stop_processing(p);
    p->deactivate(p);
    return output;
}

void checkAudio(const clap_plugin_factory_t* factory, const std::string& referenceDir) {
    for (int p = 0; p < 10; ++p) {
        const std::string problem = hostscript::referenceProblem(referenceDir, p, [&] { return renderProgram(factory, p); });
        if (!problem.empty()) fail(problem);
    }
}

void checkEditor(const clap_plugin_factory_t* factory, const std::string& referenceDir, const char* capturePath) {
    std::vector<std::uint8_t> expected;
    const std::string path = referenceDir + "/" + hostscript::kEditorFileName;
    if (!hostscript::readFile(path, expected)) return fail("no native reference " + path);
    Instance instance(factory);
    if (!instance.plugin) return fail("no instance");
    instance.setProgram(hostscript::kEditorProgram);
    const auto* gui = instance.extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    const clap_plugin_t* p = instance.plugin;
    if (!gui) return fail("no gui extension");
    if (!gui->is_api_supported(p, CLAP_WINDOW_API_WIN32, false)) fail("the editor does not embed in an HWND");
    if (gui->is_api_supported(p, CLAP_WINDOW_API_X11, false)) fail("the editor claims X11 on Windows");
    if (!gui->create(p, CLAP_WINDOW_API_WIN32, false)) return fail("gui.create refused win32");
    gui->set_scale(p, 1.0);
    uint32_t width = 0, height = 0;
    gui->get_size(p, &width, &height);
    if (width != hostscript::kEditorWidth || height != hostscript::kEditorHeight) fail("the editor is not 500 x 140");
    HWND frame = winhost::createFrame(40, 40);
    if (!frame) {
        gui->destroy(p);
        return fail("cannot create the host window");
    }
    clap_window_t parent{CLAP_WINDOW_API_WIN32, {}};
    parent.win32 = frame;
    if (!gui->set_parent(p, &parent)) fail("set_parent did not succeed");
    gui->show(p);
    HWND editor = nullptr;
    const std::string problem = winhost::editorFrameProblem(frame, expected, capturePath, editor);
    if (!problem.empty()) fail(problem);
    gui->destroy(p);
    if (editor && IsWindow(editor)) fail("the editor window outlived gui.destroy");
    DestroyWindow(frame);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: clap_host_check MODULE REFERENCE_DIR [CAPTURE.rgb]\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        std::fprintf(stderr, "FAIL: LoadLibraryA(%s): error %lu\n", argv[1], GetLastError());
        return 1;
    }
    const auto* entry = reinterpret_cast<const clap_plugin_entry_t*>(
        reinterpret_cast<void*>(GetProcAddress(library, "clap_entry")));
    if (!entry) {
        std::fprintf(stderr, "FAIL: %s lacks clap_entry\n", argv[1]);
        return 1;
    }
    if (!entry->init(argv[1])) fail("clap_entry.init answered false");
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!factory || factory->get_plugin_count(factory) != 1) {
        std::fprintf(stderr, "FAIL: no factory of one plug-in\n");
        return 1;
    }
    checkAudio(factory, argv[2]);
    checkEditor(factory, argv[2], argc == 4 ? argv[3] : nullptr);
    entry->deinit();
    FreeLibrary(library);
    std::printf("%s\n", failures ? "CLAP host check FAILED" : "CLAP host check passed");
    return failures ? 1 : 0;
}
