#include "vst3/preset_file.h"

#include <cstring>

#include "core/programs.h"
#include "vst3/identity.h"
#include "vst3/texts.h"

namespace vst3face {

namespace {

constexpr int32_t kPresetVersion = 1;
constexpr std::size_t kHeaderSize = 4 + 4 + 32 + 8;
static_assert(sizeof kClassIdText - 1 == 32, "the class id as 32 hex digits");

void putBytes(std::vector<uint8_t>& out, const void* bytes, std::size_t size) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    out.insert(out.end(), at, at + size);
}

void putLittle(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::string escapedXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string attribute(const char* id, const std::string& value) {
    return std::string("\t<Attribute id=\"") + id + "\" value=\"" + escapedXml(value) +
           "\" type=\"string\" flags=\"writeProtected\"/>\n";
}

}  // namespace

SavedState factoryState(int32_t program) {
    SavedState state;
    if (!isProgram(program)) return state;
    for (int32_t i = 0; i < kParamCount; ++i) state[kParameters[i].id] = factoryRaw(program, i);
    state[kProgramId] = static_cast<float>(program);
    state[kBypassId] = 0.0f;
    return state;
}

std::string presetMetaInfo(int32_t program) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n" + attribute("MediaType", "VstPreset") +
           attribute("PlugInName", kClassName) + attribute("PlugInCategory", kSubCategories) +
           attribute("PlugInVendor", kVendor) + attribute("Name", programListName(program)) + "</MetaInfo>\n";
}

std::vector<uint8_t> encodePresetFile(int32_t program) {
    const std::vector<uint8_t> component = encodeState(factoryState(program));
    const std::string meta = presetMetaInfo(program);

    std::vector<uint8_t> file;
    putBytes(file, "VST3", 4);
    putLittle(file, kPresetVersion, 4);
    putBytes(file, kClassIdText, 32);
    const uint64_t componentAt = kHeaderSize;
    const uint64_t metaAt = componentAt + component.size();
    const uint64_t listAt = metaAt + meta.size();
    putLittle(file, listAt, 8);
    putBytes(file, component.data(), component.size());
    putBytes(file, meta.data(), meta.size());

    putBytes(file, "List", 4);
    putLittle(file, 2, 4);
    putBytes(file, "Comp", 4);
    putLittle(file, componentAt, 8);
    putLittle(file, component.size(), 8);
    putBytes(file, "Info", 4);
    putLittle(file, metaAt, 8);
    putLittle(file, meta.size(), 8);
    return file;
}

std::string presetFolderName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (std::strchr("\\*?/:<>|\"", c) || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    return out;
}

std::string presetFileName(int32_t program) { return presetFolderName(programListName(program)) + ".vstpreset"; }

}  // namespace vst3face
