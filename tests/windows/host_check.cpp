// The Windows host check: loads the plug-in DLL as a host does, renders the
// script's audio through every factory program, opens the editor in a real
// top-level window, drives it with mouse messages, and compares audio and the
// editor's pixels with what the native build produced for the same script.
//   host_check DLL REFERENCE_DIR [CAPTURE.rgb]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/vst2.h"
#include "tests/windows/host_script.h"
#include "tests/windows/load_dll.h"
#include "tests/windows/window_host.h"

namespace {

using hostscript::kEditorHeight;
using hostscript::kEditorWidth;

int failures = 0;

void fail(const std::string& message) {
    std::fprintf(stderr, "FAIL: %s\n", message.c_str());
    ++failures;
}

std::string joined(const std::string& dir, const std::string& name) { return dir + "/" + name; }

void checkAudio(VstEntryProc entry, const std::string& referenceDir) {
    AEffect* probe = entry(&hostscript::hostCallback);
    if (!probe) return fail("main returned no effect");
    const int programs = probe->numPrograms;
    probe->dispatcher(probe, effClose, 0, 0, nullptr, 0.0f);
    if (programs < 1) return fail("no factory programs");

    for (int p = 0; p < programs; ++p) {
        std::vector<std::uint8_t> expected;
        const std::string path = joined(referenceDir, hostscript::audioFileName(p));
        if (!hostscript::readFile(path, expected)) {
            fail("no native reference " + path + " (run the native build's varnox-reference)");
            continue;
        }
        const std::vector<float> out = hostscript::renderProgram(entry, p);
        if (out.size() * sizeof(float) != expected.size()) {
            fail("program " + std::to_string(p) + ": output length differs from the native build's");
            continue;
        }
        for (std::size_t i = 0; i < out.size(); ++i) {
            float want;
            std::memcpy(&want, expected.data() + i * sizeof(float), sizeof want);
            if (std::memcmp(&want, &out[i], sizeof want) != 0) {
                char where[160];
                std::snprintf(where, sizeof where, "%d: frame %zu %s: %.9g here, %.9g native", p, i / 2,
                              i % 2 ? "right" : "left", out[i], want);
                fail(std::string("program ") + where);
                break;
            }
        }
        std::printf("program %d: %d frames compared\n", p, hostscript::kFrames);
    }
}

void checkEditor(VstEntryProc entry, const std::string& referenceDir, const char* capturePath) {
    std::vector<std::uint8_t> expected;
    const std::string path = joined(referenceDir, hostscript::kEditorFileName);
    if (!hostscript::readFile(path, expected)) return fail("no native reference " + path);

    HWND frame = winhost::createFrame(40, 40);
    if (!frame) return fail("cannot create the host window");
    AEffect* effect = entry(&hostscript::hostCallback);
    if (!effect) {
        DestroyWindow(frame);
        return fail("main returned no effect");
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetProgram, 0, hostscript::kEditorProgram, nullptr, 0.0f);
    if (effect->dispatcher(effect, effEditOpen, 0, 0, frame, 0.0f) != 1) fail("effEditOpen did not return 1");
    HWND editor = nullptr;
    const std::string problem = winhost::editorFrameProblem(frame, expected, capturePath, editor);
    if (!problem.empty()) fail(problem);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    if (editor && IsWindow(editor)) fail("the editor window outlived effEditClose");
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(frame);
}

// A host window with the plug-in's editor open inside it.
struct OpenEditor {
    AEffect* effect = nullptr;
    HWND frame = nullptr;
    HWND editor = nullptr;
};

OpenEditor openEditor(VstEntryProc entry, int x, int y) {
    OpenEditor open;
    open.frame = winhost::createFrame(x, y);
    open.effect = entry(&hostscript::hostCallback);
    if (!open.frame || !open.effect) return open;
    open.effect->dispatcher(open.effect, effOpen, 0, 0, nullptr, 0.0f);
    open.effect->dispatcher(open.effect, effEditOpen, 0, 0, open.frame, 0.0f);
    open.editor = FindWindowExA(open.frame, nullptr, "varnoxclass", nullptr);
    return open;
}

void closeEditor(OpenEditor& open) {
    if (open.effect) {
        open.effect->dispatcher(open.effect, effEditClose, 0, 0, nullptr, 0.0f);
        open.effect->dispatcher(open.effect, effClose, 0, 0, nullptr, 0.0f);
    }
    if (open.frame) DestroyWindow(open.frame);
    open = OpenEditor{};
}

bool classRegistered(HMODULE library) {
    WNDCLASSA info;
    return GetClassInfoA(library, "varnoxclass", &info) != 0;
}

// What the real window system holds the editor to: its rectangle and window,
// one class and one set of skin bitmaps shared by open editors, and a clean
// slate after the last one closes, so that a later open works again.
void checkEditorLifecycle(VstEntryProc entry, HMODULE library) {
    OpenEditor first = openEditor(entry, 40, 240);
    if (!first.editor) {
        closeEditor(first);
        return fail("lifecycle: no editor window");
    }
    ERect* rect = nullptr;
    first.effect->dispatcher(first.effect, effEditGetRect, 0, 0, &rect, 0.0f);
    if (!rect || rect->top != 0 || rect->left != 0 || rect->bottom != kEditorHeight || rect->right != kEditorWidth)
        fail("lifecycle: effEditGetRect is not 0, 0, 140, 500");
    RECT client{};
    GetClientRect(first.editor, &client);
    if (client.right != kEditorWidth || client.bottom != kEditorHeight) fail("lifecycle: the editor is not 500 x 140");
    if (GetParent(first.editor) != first.frame) fail("lifecycle: the editor is not a child of the host's window");

    OpenEditor second = openEditor(entry, 40, 440);
    if (!second.editor) fail("lifecycle: a second editor did not open");
    closeEditor(first);
    if (!classRegistered(library)) fail("lifecycle: closing one of two editors unregistered the class");
    if (second.editor) {
        if (!winhost::pumpTicks(second.editor, 3)) fail("lifecycle: the editor's timer fired too rarely");
        // Without its skin the window would show one flat background colour.
        const std::vector<std::uint8_t> pixels = winhost::capture(second.editor);
        std::set<std::uint32_t> colours;
        for (std::size_t i = 0; i + 2 < pixels.size(); i += 3)
            colours.insert(std::uint32_t{pixels[i]} << 16 | std::uint32_t{pixels[i + 1]} << 8 | pixels[i + 2]);
        if (colours.size() < 100) fail("lifecycle: the remaining editor stopped drawing its skin");
    }
    closeEditor(second);
    if (classRegistered(library)) fail("lifecycle: the class outlived the last editor");

    OpenEditor again = openEditor(entry, 40, 240);
    if (!again.editor) fail("lifecycle: the editor did not open again after all were closed");
    else if (!winhost::pumpTicks(again.editor, 2)) fail("lifecycle: the editor's timer fired too rarely");
    closeEditor(again);
    std::printf("editor lifecycle: checked\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: host_check DLL REFERENCE_DIR [CAPTURE.rgb]\n");
        return 2;
    }
    const auto [library, entry] = loadDll(argv[1]);
    if (!entry) return 1;
    checkAudio(entry, argv[2]);
    checkEditor(entry, argv[2], argc == 4 ? argv[3] : nullptr);
    checkEditorLifecycle(entry, library);
    FreeLibrary(library);
    std::printf("%s\n", failures ? "host check FAILED" : "host check passed");
    return failures ? 1 : 0;
}
