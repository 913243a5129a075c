// The module as a host meets it: entries, factory, class, moduleinfo.json,
// interface ids and vtable order, lifecycle, buses.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "tests/vst3/vst3_host.h"

namespace {

using namespace vst3host;

TEST(Vst3Module, FactoryNamesTheVendorAndOneAudioEffectClass) {
    IPluginFactory* factory = bundle().factory();
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Zem");
    EXPECT_EQ(info.flags, PFactoryInfo::kUnicode);
    ASSERT_EQ(factory->countClasses(), 1);

    void* obj = nullptr;
    ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid.bytes, &obj), kResultOk);
    auto* factory3 = static_cast<IPluginFactory3*>(obj);
    PClassInfo2 info2{};
    PClassInfoW infoW{};
    ASSERT_EQ(factory3->getClassInfo2(0, &info2), kResultOk);
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
    EXPECT_STREQ(info2.category, "Audio Module Class");
    EXPECT_STREQ(info2.name, "ORv Varnox");
    EXPECT_STREQ(info2.subCategories, "Fx|Distortion");
    EXPECT_STREQ(info2.vendor, "Zem");
    EXPECT_STREQ(info2.version, "1.0.0");
    EXPECT_EQ(info2.cardinality, PClassInfo::kManyInstances);
    EXPECT_EQ(std::memcmp(info2.cid, infoW.cid, 16), 0);
    EXPECT_EQ(toAscii(infoW.name), "ORv Varnox");
    EXPECT_EQ(toAscii(infoW.vendor), "Zem");
    EXPECT_EQ(std::string(infoW.subCategories), "Fx|Distortion");
    EXPECT_EQ(factory3->getClassInfo2(1, &info2), kInvalidArgument);
    factory3->release();

    // Nothing for another class or an interface the effect has not.
    char otherClass[16] = {1, 2, 3};
    EXPECT_EQ(factory->createInstance(otherClass, IComponent::iid.bytes, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(factory->createInstance(info2.cid, IPluginFactory::iid.bytes, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
}

// The class id hosts and projects find the effect by, in this platform's byte order.
TEST(Vst3Module, ClassIdIsFixed) {
    PClassInfo info{};
    ASSERT_EQ(bundle().factory()->getClassInfo(0, &info), kResultOk);
    const unsigned char expected[16] = {0x2D, 0x97, 0x2D, 0x39, 0x45, 0x94, 0x4D, 0xAD,
                                        0xA3, 0x25, 0xBB, 0xF9, 0x35, 0xBE, 0xB1, 0x7D};
    EXPECT_EQ(std::memcmp(info.cid, expected, 16), 0);
}

std::map<std::string, std::string> jsonStrings(const std::string& text) {
    std::map<std::string, std::string> values;
    const std::regex pair("\"([^\"]+)\"\\s*:\\s*(\"[^\"]*\"|[0-9]+|true|false|\\[[^\\]{]*\\])");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pair); it != std::sregex_iterator(); ++it)
        values[(*it)[1]] = (*it)[2];
    return values;
}

std::string hex(const char* bytes) {
    std::string out;
    char digits[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(bytes[i]));
        out += digits;
    }
    return out;
}

// Hosts may read the file instead of loading the module; it must say what the factory says.
TEST(Vst3Module, ModuleInfoMatchesTheFactory) {
    std::ifstream file(VARNOX_VST3_BUNDLE "/Contents/Resources/moduleinfo.json");
    ASSERT_TRUE(file) << "no moduleinfo.json in the bundle";
    std::stringstream text;
    text << file.rdbuf();
    // The module's keys come before the class list, the class's in it.
    const std::size_t classes = text.str().find("\"Classes\"");
    ASSERT_NE(classes, std::string::npos);
    const auto json = jsonStrings(text.str().substr(0, classes));
    const auto cls = jsonStrings(text.str().substr(classes));

    IPluginFactory* factory = bundle().factory();
    PFactoryInfo factoryInfo{};
    factory->getFactoryInfo(&factoryInfo);
    void* obj = nullptr;
    factory->queryInterface(IPluginFactory2::iid.bytes, &obj);
    auto* factory2 = static_cast<IPluginFactory2*>(obj);
    PClassInfo2 info{};
    factory2->getClassInfo2(0, &info);
    factory2->release();

    EXPECT_EQ(json.at("Name"), "\"Varnox\"");
    EXPECT_EQ(json.at("Version"), "\"" + std::string(info.version) + "\"");
    EXPECT_EQ(json.at("Vendor"), "\"" + std::string(factoryInfo.vendor) + "\"");
    EXPECT_EQ(json.at("URL"), "\"" + std::string(factoryInfo.url) + "\"");
    EXPECT_EQ(json.at("E-Mail"), "\"" + std::string(factoryInfo.email) + "\"");
    EXPECT_EQ(json.at("Unicode"), "true");
    EXPECT_EQ(cls.at("CID"), "\"" + hex(info.cid) + "\"");
    EXPECT_EQ(cls.at("Category"), "\"" + std::string(info.category) + "\"");
    EXPECT_EQ(cls.at("Version"), "\"" + std::string(info.version) + "\"");
    EXPECT_EQ(cls.at("SDKVersion"), "\"" + std::string(info.sdkVersion) + "\"");
    EXPECT_EQ(cls.at("Sub Categories"), "[\"Fx\", \"Distortion\"]");
    EXPECT_EQ(cls.at("Class Flags"), std::to_string(info.classFlags));
    EXPECT_EQ(cls.at("Cardinality"), std::to_string(info.cardinality));
    EXPECT_EQ(cls.at("Name"), "\"" + std::string(info.name) + "\"");
    EXPECT_EQ(cls.at("Vendor"), "\"" + std::string(info.vendor) + "\"");
}

// Interface ids as the published definitions give them; on Linux the words
// are stored in order, most significant byte first.
TEST(Vst3Module, InterfaceIdsInThisPlatformsByteOrder) {
    struct Row {
        const char* name;
        const Uid& uid;
        const char* bytes;
    };
    const Row rows[] = {
        {"FUnknown", FUnknown::iid, "0000000000000000C000000000000046"},
        {"IPluginBase", IPluginBase::iid, "22888DDB156E45AE8358B34808190625"},
        {"IPluginFactory", IPluginFactory::iid, "7A4D811C52114A1FAED9D2EE0B43BF9F"},
        {"IPluginFactory2", IPluginFactory2::iid, "0007B650F24B4C0BA464EDB9F00B2ABB"},
        {"IPluginFactory3", IPluginFactory3::iid, "4555A2ABC1234E579B12291036878931"},
        {"IBStream", IBStream::iid, "C3BF6EA2309947529B6BF9901EE33E9B"},
        {"IComponent", IComponent::iid, "E831FF31F2D54301928EBBEE25697802"},
        {"IAudioProcessor", IAudioProcessor::iid, "42043F99B7DA453CA569E79D9AAEC33D"},
        {"IProcessContextRequirements", IProcessContextRequirements::iid, "2A654303EF764E3D95B5FE83730EF6D0"},
        {"IParamValueQueue", IParamValueQueue::iid, "01263A18ED074F6F98C9D3564686F9BA"},
        {"IParameterChanges", IParameterChanges::iid, "A47796630BB64A56B44384A8466FEB9D"},
        {"IEditController", IEditController::iid, "DCD7BBE37742448DA874AACC979C759E"},
        {"IComponentHandler", IComponentHandler::iid, "93A0BEA30BD045DB8E890B0CC1E46AC6"},
        {"IUnitInfo", IUnitInfo::iid, "3D4BD6B5913A4FD2A886E768A5EB92C1"},
        {"IPlugView", IPlugView::iid, "5BC32507D06049EAA6151B522B755B29"},
        {"IPlugFrame", IPlugFrame::iid, "367FAF01AFA946938D4DA2A0ED0882A3"},
        {"IRunLoop", IRunLoop::iid, "18C3536697764F1A9C5B83857A871389"},
        {"IEventHandler", IEventHandler::iid, "561E65C913A0496F813A2C35654D7983"},
        {"ITimerHandler", ITimerHandler::iid, "10BDD94F41424774821FAD8FECA72CA9"},
    };
    for (const Row& row : rows) {
        const std::string expected = row.bytes;
        EXPECT_EQ(hex(row.uid.bytes), expected) << row.name;
    }
}

// A host calls by vtable slot, not by name: a few operations reached by
// their published slot numbers (0 to 2 are FUnknown's).
template <typename R, typename... A>
R callSlot(void* object, int slot, A... args) {
    using Fn = R(VST3_API*)(void*, A...);
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<Fn>(table[slot])(object, args...);
}

TEST(Vst3Module, OperationsSitInTheirPublishedSlots) {
    EXPECT_EQ(callSlot<int32>(bundle().factory(), 4), 1);  // IPluginFactory::countClasses
    Plugin plugin(bundle().factory());
    char cid[16];
    EXPECT_EQ(callSlot<tresult>(plugin.component, 5, cid), kResultFalse);  // getControllerClassId
    EXPECT_EQ(callSlot<int32>(plugin.component, 7, int32{kAudio}, int32{kInput}), 1);  // getBusCount
    EXPECT_EQ(callSlot<tresult>(plugin.processor, 5, int32{kSample64}), kResultTrue);   // canProcessSampleSize
    EXPECT_EQ(callSlot<tresult>(plugin.processor, 5, int32{2}), kResultFalse);
    EXPECT_EQ(callSlot<uint32>(plugin.processor, 10), 2u);                              // getTailSamples
    EXPECT_EQ(callSlot<int32>(plugin.controller, 8), 9);                                // getParameterCount
    EXPECT_EQ(callSlot<int32>(plugin.units, 3), 1);                                     // getUnitCount
    EXPECT_EQ(callSlot<int32>(plugin.units, 5), 1);                                     // getProgramListCount
}

TEST(Vst3Module, LifecycleRefusesASecondInitialize) {
    PClassInfo info{};
    bundle().factory()->getClassInfo(0, &info);
    void* obj = nullptr;
    ASSERT_EQ(bundle().factory()->createInstance(info.cid, IComponent::iid.bytes, &obj), kResultOk);
    auto* component = static_cast<IComponent*>(obj);
    EXPECT_EQ(component->initialize(nullptr), kResultOk);
    EXPECT_NE(component->initialize(nullptr), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);  // one object, asked as component and as controller
    EXPECT_EQ(component->initialize(nullptr), kResultOk);
    EXPECT_EQ(component->terminate(), kResultOk);
    // Every interface of the one object answers for the others.
    void* controller = nullptr;
    ASSERT_EQ(component->queryInterface(IEditController::iid.bytes, &controller), kResultOk);
    void* back = nullptr;
    ASSERT_EQ(static_cast<IEditController*>(controller)->queryInterface(IComponent::iid.bytes, &back), kResultOk);
    EXPECT_EQ(back, obj);
    static_cast<IComponent*>(back)->release();
    static_cast<IEditController*>(controller)->release();
    EXPECT_EQ(component->release(), 0u);
}

// One main bus each way: stereo to stereo, mono to mono or mono to stereo; a
// refused arrangement leaves the buses as they were.
TEST(Vst3Module, BusArrangementsStereoMonoAndMonoToStereo) {
    Plugin plugin(bundle().factory());
    EXPECT_EQ(plugin.component->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(plugin.component->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(plugin.component->getBusCount(kEvent, kInput), 0);
    for (BusDirection dir : {kInput, kOutput}) {
        BusInfo bus{};
        ASSERT_EQ(plugin.component->getBusInfo(kAudio, dir, 0, bus), kResultOk);
        EXPECT_EQ(bus.channelCount, 2);
        EXPECT_EQ(bus.busType, kMain);
        EXPECT_EQ(bus.flags, BusInfo::kDefaultActive);
        EXPECT_EQ(plugin.component->getBusInfo(kAudio, dir, 1, bus), kInvalidArgument);
        SpeakerArrangement arrangement = 0;
        EXPECT_EQ(plugin.processor->getBusArrangement(dir, 0, arrangement), kResultOk);
        EXPECT_EQ(arrangement, SpeakerArr::kStereo);
    }

    constexpr SpeakerArrangement kMono = SpeakerArr::kMono, kStereo = SpeakerArr::kStereo;
    struct Case {
        std::vector<SpeakerArrangement> in, out;
        tresult expected;
        SpeakerArrangement inAfter, outAfter;  // the buses afterwards
    };
    const Case cases[] = {
        {{kMono}, {kMono}, kResultTrue, kMono, kMono},
        {{kStereo}, {kMono}, kResultFalse, kMono, kMono},
        {{kMono}, {kStereo}, kResultTrue, kMono, kStereo},
        {{0x3F}, {0x3F}, kResultFalse, kMono, kStereo},  // 5.1
        {{kStereo}, {kStereo}, kResultTrue, kStereo, kStereo},
        {{kStereo, kStereo}, {kStereo}, kResultFalse, kStereo, kStereo},
        {{}, {kStereo}, kResultFalse, kStereo, kStereo},
        {{kMono | kStereo}, {kStereo}, kResultFalse, kStereo, kStereo},  // three speakers
    };
    for (const Case& c : cases) {
        auto in = c.in;
        auto out = c.out;
        EXPECT_EQ(plugin.processor->setBusArrangements(in.data(), static_cast<int32>(in.size()), out.data(),
                                                       static_cast<int32>(out.size())),
                  c.expected);
        for (BusDirection dir : {kInput, kOutput}) {
            const SpeakerArrangement expected = dir == kInput ? c.inAfter : c.outAfter;
            SpeakerArrangement arrangement = 0;
            plugin.processor->getBusArrangement(dir, 0, arrangement);
            EXPECT_EQ(arrangement, expected);
            BusInfo bus{};
            plugin.component->getBusInfo(kAudio, dir, 0, bus);
            EXPECT_EQ(bus.channelCount, expected == kMono ? 1 : 2);
        }
    }

    EXPECT_EQ(plugin.processor->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(plugin.processor->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(plugin.processor->canProcessSampleSize(-1), kResultFalse);
    ProcessSetup doubles{kRealtime, kSample64, 512, 44100.0};
    EXPECT_EQ(plugin.processor->setupProcessing(doubles), kResultOk);
    ProcessSetup other{kRealtime, 2, 512, 44100.0};
    EXPECT_NE(plugin.processor->setupProcessing(other), kResultOk);
    ProcessSetup floats{kRealtime, kSample32, 512, 44100.0};
    EXPECT_EQ(plugin.processor->setupProcessing(floats), kResultOk);
    EXPECT_EQ(plugin.processor->getLatencySamples(), 0u);
}

}  // namespace
