// The Windows host check of the VST 3 module: loads Varnox.vst3 as a host
// does, renders the script's audio through every factory program (chosen
// with the program parameter), opens the editor as a view in a real window,
// drives it with the script's mouse messages and compares audio and pixels
// with what the native build's VST 2 path produced for the same script.
//   vst3_host_check MODULE REFERENCE_DIR [CAPTURE.rgb]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/vst3/audio.h"
#include "platform/vst3/editing.h"
#include "platform/vst3/view.h"
#include "tests/vst3/host_objects.h"
#include "tests/windows/host_script.h"
#include "tests/windows/window_host.h"

namespace {

using namespace vst3;
using vst3host::queried;

int failures = 0;

void fail(const std::string& message) {
    std::fprintf(stderr, "FAIL: %s\n", message.c_str());
    ++failures;
}

// One instance: component, processor and controller are one object.
struct Instance {
    explicit Instance(IPluginFactory* factory) {
        PClassInfo info{};
        void* obj = nullptr;
        if (factory->getClassInfo(0, &info) != kResultOk ||
            factory->createInstance(info.cid, IComponent::iid.bytes, &obj) != kResultOk)
            return;
        component = static_cast<IComponent*>(obj);
        if (component->initialize(nullptr) != kResultOk) return;
        processor = queried<IAudioProcessor>(component);
        controller = queried<IEditController>(component);
    }
    ~Instance() {
        if (controller) controller->release();
        if (processor) processor->release();
        if (component) {
            component->terminate();
            component->release();
        }
    }
    bool valid() const { return component && processor && controller; }

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
};

// renderProgram's blocks, through the VST 3 process call.
std::vector<float> renderProgram(IPluginFactory* factory, int program) {
    Instance instance(factory);
    if (!instance.valid()) return {};
    instance.controller->setParamNormalized(7, program / 9.0);
    ProcessSetup setup{kRealtime, kSample32, hostscript::kMaxBlock, hostscript::kSampleRate};
    instance.processor->setupProcessing(setup);
    instance.component->setActive(true);
    instance.processor->setProcessing(true);

    const std::vector<float> input = hostscript::inputSignal();
    std::vector<float> output(input.size());
    std::vector<float> inLeft(hostscript::kMaxBlock), inRight(hostscript::kMaxBlock);
    std::vector<float> outLeft(hostscript::kMaxBlock), outRight(hostscript::kMaxBlock);
    vst3host::StereoBlock block;
    block.inputs[0] = inLeft.data();
    block.inputs[1] = inRight.data();
    block.outputs[0] = outLeft.data();
    block.outputs[1] = outRight.data();
    constexpr int32 kBlocks[] = {512, 333, 64, 7, 1024, 1, 250};
    int done = 0;
    for (std::size_t n = 0; done < hostscript::kFrames; ++n) {
        const int32 count = std::min<int32>(kBlocks[n % std::size(kBlocks)], hostscript::kFrames - done);
        for (int32 i = 0; i < count; ++i) {
            inLeft[i] = input[2 * (done + i)];
            inRight[i] = input[2 * (done + i) + 1];
        }
        block.data.numSamples = count;
        instance.processor->process(block.data);
        for (int32 i = 0; i < count; ++i) {
            output[2 * (done + i)] = outLeft[i];
            output[2 * (done + i) + 1] = outRight[i];
        }
        done += count;
    }
    instance.processor->setProcessing(false);
    instance.component->setActive(false);
    return output;
}

void checkAudio(IPluginFactory* factory, const std::string& referenceDir) {
    for (int p = 0; p < 10; ++p) {
        const std::string problem = hostscript::referenceProblem(referenceDir, p, [&] { return renderProgram(factory, p); });
        if (!problem.empty()) fail(problem);
    }
}

void checkEditor(IPluginFactory* factory, const std::string& referenceDir, const char* capturePath) {
    std::vector<std::uint8_t> expected;
    const std::string path = referenceDir + "/" + hostscript::kEditorFileName;
    if (!hostscript::readFile(path, expected)) return fail("no native reference " + path);
    Instance instance(factory);
    if (!instance.valid()) return fail("no instance");
    instance.controller->setParamNormalized(7, hostscript::kEditorProgram / 9.0);
    IPlugView* view = instance.controller->createView("editor");
    if (!view) return fail("createView(\"editor\") gave no view");
    ViewRect size{};
    view->getSize(&size);
    if (size.right - size.left != hostscript::kEditorWidth || size.bottom - size.top != hostscript::kEditorHeight)
        fail("the view is not 500 x 140");
    if (view->isPlatformTypeSupported("HWND") != kResultTrue) fail("the view takes no HWND");
    HWND frame = winhost::createFrame(40, 40);
    if (!frame) {
        view->release();
        return fail("cannot create the host window");
    }
    if (view->attached(frame, "HWND") != kResultOk) fail("attached did not succeed");
    HWND editor = nullptr;
    const std::string problem = winhost::editorFrameProblem(frame, expected, capturePath, editor);
    if (!problem.empty()) fail(problem);
    view->removed();
    if (editor && IsWindow(editor)) fail("the editor window outlived removed()");
    view->release();
    DestroyWindow(frame);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: vst3_host_check MODULE REFERENCE_DIR [CAPTURE.rgb]\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        std::fprintf(stderr, "FAIL: LoadLibraryA(%s): error %lu\n", argv[1], GetLastError());
        return 1;
    }
    using EntryProc = bool (*)();
    auto initDll = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(library, "InitDll")));
    auto exitDll = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(library, "ExitDll")));
    auto getFactory = reinterpret_cast<GetFactoryProc>(reinterpret_cast<void*>(GetProcAddress(library, "GetPluginFactory")));
    if (!initDll || !exitDll || !getFactory) {
        std::fprintf(stderr, "FAIL: %s lacks InitDll, ExitDll or GetPluginFactory\n", argv[1]);
        return 1;
    }
    if (!initDll()) fail("InitDll answered false");
    IPluginFactory* factory = getFactory();
    if (!factory) {
        std::fprintf(stderr, "FAIL: no factory\n");
        return 1;
    }
    checkAudio(factory, argv[2]);
    checkEditor(factory, argv[2], argc == 4 ? argv[3] : nullptr);
    factory->release();
    if (!exitDll()) fail("ExitDll answered false");
    FreeLibrary(library);
    std::printf("%s\n", failures ? "VST 3 host check FAILED" : "VST 3 host check passed");
    return failures ? 1 : 0;
}
