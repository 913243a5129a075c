// varnox-lv2-turtle DIR: writes manifest.ttl, Varnox.ttl and presets.ttl of
// the LV2 bundle into DIR, from the parameter and program tables.
#include <cstdio>
#include <fstream>
#include <string>

#include "lv2/turtle.h"

namespace {

bool write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "varnox-lv2-turtle: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnox-lv2-turtle BUNDLE_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool written = write(dir + "/manifest.ttl", lv2face::manifestTurtle()) &&
                         write(dir + "/Varnox.ttl", lv2face::pluginTurtle()) &&
                         write(dir + "/presets.ttl", lv2face::presetsTurtle());
    return written ? 0 : 1;
}
