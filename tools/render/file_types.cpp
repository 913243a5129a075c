#include "tools/render/file_types.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "tools/render/memory_file.h"
#include "tools/render/tool_error.h"

namespace {

[[noreturn]] void usageError(const std::string& message) { throw ToolError(kExitUsage, message); }

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isLinear(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        return true;
    default:
        return false;
    }
}

std::vector<SF_FORMAT_INFO> formatList(int countCommand, int itemCommand) {
    int count = 0;
    sf_command(nullptr, countCommand, &count, sizeof count);
    std::vector<SF_FORMAT_INFO> list;
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, itemCommand, &info, sizeof info) == 0) list.push_back(info);
    }
    return list;
}

// libsndfile's name for a container or a codec: "WAV (Microsoft)", "Vorbis".
const char* libraryName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    return sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 ? info.name : nullptr;
}

std::string subtypeName(int subtype) {
    const char* name = libraryName(subtype);
    return name != nullptr ? name : "unknown samples";
}

bool holds(int format, int channels, int sampleRate);

// Whether libsndfile writes `type` at some usual layout: a few frames into
// memory, closed without error.
bool writable(const OutputType& type) {
    // Sound Designer II keeps its layout in a resource fork, which libsndfile
    // writes only beside a file it opened by name, never through a descriptor.
    if (type.container == SF_FORMAT_SD2) return false;
    struct Layout {
        int channels, rate;
    };
    for (Layout layout : {Layout{2, 48000}, Layout{1, 48000}, Layout{1, 8000}}) {
        int subtype = type.fixedSubtype;
        for (int candidate : {SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_FLOAT, SF_FORMAT_DPCM_16, SF_FORMAT_VOX_ADPCM,
                              SF_FORMAT_PCM_S8})
            if (subtype == 0 && holds(type.container | candidate, layout.channels, layout.rate)) subtype = candidate;
        if (subtype == 0) continue;
        SF_INFO info{};
        info.format = type.container | subtype;
        info.channels = layout.channels;
        info.samplerate = layout.rate;
        MemoryFile trial;
        SNDFILE* file = trial.open(SFM_WRITE, &info);
        if (file == nullptr) continue;
        std::vector<float> silence(static_cast<size_t>(64 * layout.channels), 0.0f);
        bool wrote = sf_writef_float(file, silence.data(), 64) == 64;
        if (sf_close(file) == 0 && wrote) return true;
    }
    return false;
}

// Extension -> type, built once from libsndfile's lists: the major formats
// first (the first of a shared extension wins: .wav is Microsoft WAV), then
// the common combinations for the names only they use (.ogg, .opus, .mp3),
// whose codec the name then fixes.
const std::map<std::string, OutputType>& typeTable() {
    static const std::map<std::string, OutputType> table = [] {
        std::map<std::string, OutputType> types;
        for (const SF_FORMAT_INFO& major : formatList(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR)) {
            if (major.extension == nullptr || *major.extension == '\0') continue;
            std::string name = lower(major.extension);
            types.emplace(name, OutputType{name, major.format & SF_FORMAT_TYPEMASK, 0});
        }
        for (const SF_FORMAT_INFO& simple : formatList(SFC_GET_SIMPLE_FORMAT_COUNT, SFC_GET_SIMPLE_FORMAT)) {
            if (simple.extension == nullptr || *simple.extension == '\0') continue;
            std::string name = lower(simple.extension);
            int subtype = simple.format & SF_FORMAT_SUBMASK;
            types.emplace(name, OutputType{name, simple.format & SF_FORMAT_TYPEMASK, isLinear(subtype) ? 0 : subtype});
        }
        // The short spelling of AIFF that most software writes.
        if (auto aiff = types.find("aiff"); aiff != types.end()) types.emplace("aif", OutputType{"aif", aiff->second.container, 0});
        // libsndfile lists some types it only reads (Sound Designer II needs a
        // resource fork, MPEG Layer I has no encoder): only what a trial
        // write shows it writes is offered.
        for (auto type = types.begin(); type != types.end();)
            type = writable(type->second) ? std::next(type) : types.erase(type);
        return types;
    }();
    return table;
}

bool holds(int format, int channels, int sampleRate) {
    SF_INFO probe{};
    probe.format = format;
    probe.channels = channels;
    probe.samplerate = sampleRate;
    return sf_format_check(&probe) != 0;
}

int subtypeOf(SampleFormat format) {
    switch (format) {
    case SampleFormat::Float: return SF_FORMAT_FLOAT;
    case SampleFormat::Pcm24: return SF_FORMAT_PCM_24;
    case SampleFormat::Pcm16: return SF_FORMAT_PCM_16;
    case SampleFormat::Same: break;
    }
    return 0;
}

std::string formatWord(SampleFormat format) {
    switch (format) {
    case SampleFormat::Float: return "float";
    case SampleFormat::Pcm24: return "24";
    case SampleFormat::Pcm16: return "16";
    case SampleFormat::Same: break;
    }
    return "";
}

}  // namespace

std::string joinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
    return text;
}

std::string extensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    return extension.empty() ? extension : lower(extension.substr(1));
}

std::optional<OutputType> outputTypeNamed(const std::string& extension) {
    std::string name = lower(extension);
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    const auto& table = typeTable();
    auto found = table.find(name);
    if (found == table.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> outputTypeNames() {
    std::vector<std::string> names;
    for (const auto& entry : typeTable()) names.push_back(entry.first);
    return names;
}

OutputType resolveOutputType(const std::string& path, const std::string& typeOption, SampleFormat format,
                             bool noDither) {
    const bool toStream = path == "-";
    std::optional<OutputType> byName = toStream ? std::nullopt : outputTypeNamed(extensionOf(path));
    OutputType type;
    if (!typeOption.empty()) {
        std::optional<OutputType> chosen = outputTypeNamed(typeOption);
        if (!chosen) usageError("--type: unknown type '" + typeOption + "' (types: " + joinWords(outputTypeNames()) + ")");
        // Data of one type under another's name is what misleads players.
        if (byName && (byName->container != chosen->container || byName->fixedSubtype != chosen->fixedSubtype))
            usageError("--type " + typeOption + " does not match the output name '" + path + "'");
        type = *chosen;
    } else if (toStream) {
        type = *outputTypeNamed("wav");
    } else if (byName) {
        type = *byName;
    } else {
        usageError("cannot tell the output type of '" + path + "': name it .wav, .aiff, .flac, .ogg, ... or choose "
                   "one with --type");
    }

    if (format != SampleFormat::Same) {
        if (type.fixedSubtype != 0)
            usageError("--format: " + type.name + " files hold " + subtypeName(type.fixedSubtype) +
                       ", not a choice of sample format");
        if (!holds(type.container | subtypeOf(format), 2, 48000))
            usageError("--format " + formatWord(format) + ": " + type.name + " files cannot hold " +
                       (format == SampleFormat::Float ? "float" : formatWord(format) + "-bit") + " samples");
    }
    if (noDither) {
        if (format == SampleFormat::Float || format == SampleFormat::Pcm24)
            usageError("--no-dither: --format " + formatWord(format) + " output is never dithered");
        if (type.fixedSubtype != 0 && !ditherable(type.container | type.fixedSubtype))
            usageError("--no-dither: " + type.name + " output is never dithered");
    }
    return type;
}

int chooseOutputFormat(const OutputType& type, SampleFormat format, int inputFormat, int channels, int sampleRate) {
    if (format != SampleFormat::Same) return type.container | subtypeOf(format);
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    const bool sameContainer = (inputFormat & SF_FORMAT_TYPEMASK) == type.container;
    // Ogg holds Vorbis or Opus: an Opus input stays Opus rather than turning
    // into the codec the name suggests.
    if (type.fixedSubtype != 0 && sameContainer && inputSubtype == SF_FORMAT_OPUS) return type.container | inputSubtype;
    if (type.fixedSubtype != 0) return type.container | type.fixedSubtype;
    std::vector<int> candidates;
    // A codec's samples carry over only within their own container: a WAV
    // may be labelled MPEG Layer III, but libsndfile writes no such WAV.
    if (inputSubtype != 0 && (isLinear(inputSubtype) || sameContainer)) candidates.push_back(inputSubtype);
    // 24-bit keeps the most of a float render where float cannot go.
    for (int subtype : {SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_FLOAT}) candidates.push_back(subtype);
    for (const SF_FORMAT_INFO& info : formatList(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE))
        candidates.push_back(info.format & SF_FORMAT_SUBMASK);
    for (int subtype : candidates)
        if (holds(type.container | subtype, channels, sampleRate)) return type.container | subtype;
    // Nothing fits this channel count or rate: opening the file will say why.
    return type.container | SF_FORMAT_PCM_24;
}

int quantisedBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_24:
        return 24;
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_DPCM_16:
    case SF_FORMAT_DWVW_16:
    case SF_FORMAT_ALAC_16:
        return 16;
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_DPCM_8:
        return 8;
    default:
        return 0;
    }
}

bool ditherable(int format) {
    int bits = quantisedBits(format);
    return bits > 0 && bits <= 16;
}

std::string containerName(int format) {
    const char* name = libraryName(format & SF_FORMAT_TYPEMASK);
    if (name == nullptr) return "unknown";
    std::string text = name;
    return text.substr(0, text.find(" ("));
}

std::string sampleFormatName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return "8-bit PCM";
    case SF_FORMAT_PCM_16: return "16-bit PCM";
    case SF_FORMAT_PCM_24: return "24-bit PCM";
    case SF_FORMAT_PCM_32: return "32-bit PCM";
    case SF_FORMAT_FLOAT: return "float";
    case SF_FORMAT_DOUBLE: return "64-bit float";
    default: return subtypeName(format & SF_FORMAT_SUBMASK);
    }
}

std::string readableTypeList() {
    // Containers known only through their codecs name them: "OGG (Vorbis, Opus)".
    std::map<int, std::vector<std::string>> codecs;
    std::vector<int> linearContainers;
    for (const SF_FORMAT_INFO& simple : formatList(SFC_GET_SIMPLE_FORMAT_COUNT, SFC_GET_SIMPLE_FORMAT)) {
        int container = simple.format & SF_FORMAT_TYPEMASK;
        int subtype = simple.format & SF_FORMAT_SUBMASK;
        if (isLinear(subtype)) linearContainers.push_back(container);
        else codecs[container].push_back(subtypeName(subtype));
    }
    std::vector<std::string> names;
    for (const SF_FORMAT_INFO& major : formatList(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR)) {
        int container = major.format & SF_FORMAT_TYPEMASK;
        if (container == SF_FORMAT_RAW) continue;  // headerless: nothing to read its layout from
        std::string name = containerName(container);
        if (std::find(names.begin(), names.end(), name) != names.end()) continue;
        bool onlyCodecs = std::find(linearContainers.begin(), linearContainers.end(), container) == linearContainers.end();
        if (auto found = codecs.find(container); found != codecs.end() && onlyCodecs)
            name += " (" + joinWords(found->second) + ")";
        names.push_back(name);
    }
    return joinWords(names);
}
