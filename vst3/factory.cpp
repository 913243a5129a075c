#include "vst3/factory.h"

#include <cstring>
#include <new>

#include "platform/vst3/audio.h"
#include "vst3/component.h"
#include "vst3/identity.h"
#include "vst3/texts.h"

namespace vst3face {

using namespace vst3;

namespace {

template <std::size_t N>
void copyText(char (&to)[N], const char* from) {
    std::strncpy(to, from, N - 1);
    to[N - 1] = '\0';
}

template <std::size_t N>
void copyText(char16 (&to)[N], const char* from) {
    toString16(from, to, N);
}

// What every class info record starts with.
template <typename Info>
void fillClassHead(Info& info) {
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.cid, kClassId.bytes, sizeof info.cid);
    info.cardinality = PClassInfo::kManyInstances;
    copyText(info.category, kVstAudioEffectClass);
}

// The version 2 records, in 8-bit or UTF-16 texts, add flags, sub-categories,
// the vendor and the versions.
template <typename Info>
void fillClassInfo2(Info& info) {
    fillClassHead(info);
    info.classFlags = 0;  // not distributable: processing and editor share one effect
    copyText(info.subCategories, kSubCategories);
    copyText(info.name, kClassName);
    copyText(info.vendor, kVendor);
    copyText(info.version, kVersion);
    copyText(info.sdkVersion, kSdkVersion);
}

class Factory final : public IPluginFactory3 {
public:
    tresult VST3_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<IPluginFactory3, IPluginFactory2, IPluginFactory>(this, iid, obj);
    }
    // One factory for the life of the module: counting would only risk deleting a static.
    uint32 VST3_API addRef() override { return 1; }
    uint32 VST3_API release() override { return 1; }

    tresult VST3_API getFactoryInfo(PFactoryInfo* info) override {
        if (!info) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        copyText(info->vendor, kVendor);
        copyText(info->url, kVendorUrl);
        copyText(info->email, kVendorEmail);
        info->flags = PFactoryInfo::kUnicode;
        return kResultOk;
    }

    int32 VST3_API countClasses() override { return 1; }

    tresult VST3_API getClassInfo(int32 index, PClassInfo* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        fillClassHead(*info);
        copyText(info->name, kClassName);
        return kResultOk;
    }

    tresult VST3_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        fillClassInfo2(*info);
        return kResultOk;
    }

    tresult VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        fillClassInfo2(*info);
        return kResultOk;
    }

    tresult VST3_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (!kClassId.matches(cid)) return kNoInterface;
        auto* component = new (std::nothrow) Component();
        if (!component) return kOutOfMemory;
        if (!component->valid()) {
            component->release();
            return kOutOfMemory;
        }
        const tresult result = component->queryInterface(iid, obj);
        component->release();  // the caller's reference, if any, is the one queryInterface added
        return result;
    }

    tresult VST3_API setHostContext(FUnknown* /*context*/) override { return kResultOk; }
};

}  // namespace

IPluginFactory* pluginFactory() {
    static Factory factory;
    return &factory;
}

}  // namespace vst3face
