// varnox-reference: what the native build produces for the Windows host
// check's script, written as files the check reads under Wine.
//   varnox-reference DIR               audio per program and the editor frame
//   varnox-reference --png IN.rgb OUT  a captured editor frame as PNG
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "host/effect_base.h"
#include "platform/soft_win32_driver.h"
#include "product/shaper_effect_edit.h"
#include "tests/windows/host_script.h"
#include "tools/common/png_writer.h"

namespace {

using hostscript::Mouse;
using hostscript::messageFor;

bool writeAudio(const std::filesystem::path& dir, int& programs) {
    AEffect* probe = createEffectInstance(&hostscript::hostCallback);
    if (!probe) return false;
    programs = probe->numPrograms;
    probe->dispatcher(probe, effClose, 0, 0, nullptr, 0.0f);
    for (int p = 0; p < programs; ++p) {
        const std::vector<float> out = hostscript::renderProgram(&createEffectInstance, p);
        const std::string path = (dir / hostscript::audioFileName(p)).string();
        if (out.empty() || !hostscript::writeFile(path, out.data(), out.size() * sizeof(float))) {
            std::fprintf(stderr, "varnox-reference: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

std::optional<softwin::Image> editorFrame() {
    AEffect* effect = createEffectInstance(&hostscript::hostCallback);
    if (!effect) return std::nullopt;
    effect->dispatcher(effect, effSetProgram, 0, hostscript::kEditorProgram, nullptr, 0.0f);
    std::optional<softwin::Image> frame;
    if (effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f) != 0) {
        HWND window = softwin::lastWindow("varnoxclass");
        for (const hostscript::Step& step : hostscript::mouseScript()) {
            softwin::sendMouse(window, messageFor(step.action), step.x, step.y);
            for (int i = 0; i < step.ticksAfter; ++i) softwin::tick();
        }
        frame = softwin::windowPixels(window);
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return frame;
}

int toPng(const std::string& in, const std::string& out) {
    std::vector<std::uint8_t> rgb;
    if (!hostscript::readFile(in, rgb) ||
        rgb.size() != std::size_t{hostscript::kEditorWidth} * hostscript::kEditorHeight * 3) {
        std::fprintf(stderr, "varnox-reference: %s is not a %dx%d RGB frame\n", in.c_str(), hostscript::kEditorWidth,
                     hostscript::kEditorHeight);
        return 1;
    }
    std::string error;
    if (!pngout::writeRgb(out, hostscript::kEditorWidth, hostscript::kEditorHeight, rgb.data(), error)) {
        std::fprintf(stderr, "varnox-reference: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--png") return toPng(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnox-reference DIR | --png IN.rgb OUT.png\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);

    int programs = 0;
    if (!writeAudio(dir, programs)) return 1;
    const std::optional<softwin::Image> frame = editorFrame();
    const std::string rgbPath = (dir / hostscript::kEditorFileName).string();
    if (!frame || frame->width != hostscript::kEditorWidth || frame->height != hostscript::kEditorHeight ||
        !hostscript::writeFile(rgbPath, frame->rgb.data(), frame->rgb.size())) {
        std::fprintf(stderr, "varnox-reference: no editor frame written to %s\n", rgbPath.c_str());
        return 1;
    }
    std::string error;
    const std::string pngPath = (dir / "editor.png").string();
    if (!pngout::writeRgb(pngPath, frame->width, frame->height, frame->rgb.data(), error)) {
        std::fprintf(stderr, "varnox-reference: %s\n", error.c_str());
        return 1;
    }
    std::printf("varnox-reference: %d programs and the editor frame in %s\n", programs, dir.string().c_str());
    return 0;
}
