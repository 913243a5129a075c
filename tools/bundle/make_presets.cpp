// Writes the factory programs as VST 3 preset files into a folder:
//   make_presets FOLDER
// One file per program, named as the program list shows it. Run by the build.
#include <cstdio>
#include <fstream>
#include <string>

#include "core/parameters.h"
#include "vst3/preset_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_presets FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (int32_t program = 0; program < kProgramCount; ++program) {
        const std::string path = folder + "/" + vst3face::presetFileName(program);
        const std::vector<uint8_t> bytes = vst3face::encodePresetFile(program);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::fprintf(stderr, "make_presets: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
