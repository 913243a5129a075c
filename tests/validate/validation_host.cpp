#include "tests/validate/validation_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr intptr_t kHostVersion = 2400;

// Requests made while `main` runs arrive before the host has put its own
// pointer into the record; they are kept here until the constructor claims them.
thread_local std::vector<std::pair<int32_t, float>> pendingAutomations;

thread_local bool echoing = false;
thread_local std::uint64_t echoes = 0;
thread_local std::uint64_t mismatches = 0;

void echo(AEffect* effect, int32_t index, float reported) {
    ++echoes;
    const float read = effect->getParameter(effect, index);
    char text[64] = {};
    effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
    if (read != reported || text[0] == '\0' || text[sizeof text - 1] != '\0') ++mismatches;
}

// Prints the tally once every test has run.
class TallyReport : public ::testing::Environment {
public:
    void TearDown() override {
        const Tally& t = tally();
        std::printf(
            "validation: %llu instances cycled, %llu opcode calls, %llu samples processed, "
            "%llu bad inputs tried\n",
            static_cast<unsigned long long>(t.instances), static_cast<unsigned long long>(t.opcodeCalls),
            static_cast<unsigned long long>(t.samples), static_cast<unsigned long long>(t.badInputs));
    }
};
const auto* const tallyReport = ::testing::AddGlobalTestEnvironment(new TallyReport);

}  // namespace

void setEchoingHost(bool on) {
    echoing = on;
}
std::uint64_t echoReads() {
    return echoes;
}
std::uint64_t echoMismatches() {
    return mismatches;
}

Tally& tally() {
    static Tally t;
    return t;
}

PluginLibrary::PluginLibrary(const std::string& path) {
    if (!library_.open(path)) throw std::runtime_error("cannot load " + path + ": " + library_.error());
    entry_ = reinterpret_cast<VstEntryProc>(library_.symbol("main"));
    if (!entry_) throw std::runtime_error(path + " exports no main");
}

PluginLibrary& shippedPlugin() {
    static PluginLibrary library(VARNOX_PLUGIN_PATH);
    return library;
}

PluginLibrary& drivenPlugin() {
    static PluginLibrary library(VARNOX_DRIVEN_PLUGIN_PATH);
    return library;
}

namespace {
template <typename F>
F driverFunction(const char* name) {
    void* const address = drivenPlugin().symbol(name);
    if (!address) throw std::runtime_error(std::string("the driven plug-in lacks ") + name);
    return reinterpret_cast<F>(address);
}
}  // namespace

const EditorDriver& editorDriver() {
    static const EditorDriver driver{
        driverFunction<decltype(EditorDriver::advance)>("varnoxDriverAdvance"),
        driverFunction<decltype(EditorDriver::mouse)>("varnoxDriverMouse"),
        driverFunction<decltype(EditorDriver::lastWindow)>("varnoxDriverLastWindow"),
        driverFunction<decltype(EditorDriver::liveWindows)>("varnoxDriverLiveWindows"),
        driverFunction<decltype(EditorDriver::liveGdiObjects)>("varnoxDriverLiveGdiObjects"),
        driverFunction<decltype(EditorDriver::registeredClasses)>("varnoxDriverRegisteredClasses"),
        driverFunction<decltype(EditorDriver::windowParent)>("varnoxDriverWindowParent"),
    };
    return driver;
}

Effect::Effect(PluginLibrary& library) {
    pendingAutomations.clear();
    record_ = library.entry()(&Effect::hostCallback);
    if (!record_) throw std::runtime_error("main made no instance");
    automations_ = std::move(pendingAutomations);
    pendingAutomations.clear();
    record_->user = this;
    ++tally().instances;
}

intptr_t Effect::close(int32_t index, intptr_t value, void* ptr, float opt) {
    if (!record_) return 0;
    AEffect* const record = record_;
    record_ = nullptr;
    ++tally().opcodeCalls;
    return record->dispatcher(record, effClose, index, value, ptr, opt);
}

intptr_t Effect::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    ++tally().opcodeCalls;
    return record_->dispatcher(record_, opcode, index, value, ptr, opt);
}

std::string Effect::text(int32_t opcode, int32_t index, intptr_t value) {
    char buffer[256] = {};
    dispatch(opcode, index, value, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

void Effect::set(int32_t index, float value) {
    record_->setParameter(record_, index, value);
}

float Effect::get(int32_t index) {
    return record_->getParameter(record_, index);
}

void Effect::processReplacing(float** inputs, float** outputs, int32_t frames) {
    record_->processReplacing(record_, inputs, outputs, frames);
    if (frames > 0) tally().samples += 2 * static_cast<std::uint64_t>(frames);
}

void Effect::process(float** inputs, float** outputs, int32_t frames) {
    record_->process(record_, inputs, outputs, frames);
    if (frames > 0) tally().samples += 2 * static_cast<std::uint64_t>(frames);
}

void Effect::start(float sampleRate, int32_t blockSize) {
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

std::vector<std::pair<int32_t, float>> Effect::automations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return automations_;
}

void Effect::clearAutomations() {
    std::lock_guard<std::mutex> lock(mutex_);
    automations_.clear();
}

void Effect::recordAutomation(int32_t index, float value) {
    std::lock_guard<std::mutex> lock(mutex_);
    automations_.emplace_back(index, value);
}

intptr_t VSTCALLBACK Effect::hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t /*value*/,
                                          void* /*ptr*/, float opt) {
    Effect* const self = effect ? static_cast<Effect*>(effect->user) : nullptr;
    switch (opcode) {
        case audioMasterVersion:
            return kHostVersion;
        case audioMasterAutomate:
            if (echoing && effect) echo(effect, index, opt);
            if (self) {
                self->recordAutomation(index, opt);
            } else {
                pendingAutomations.emplace_back(index, opt);
            }
            return 0;
        case audioMasterPinConnected:
            return 0;  // 0 is "connected"
        default:
            return 0;
    }
}
