// Our own declarations of the VST 3 plug-in interfaces, written from their
// published definitions: the basic types, result codes, interface ids, the
// reference-counted base interface, the module factory and the byte stream.
// Only what Varnox uses is declared. Hosts call through the vtables and read
// the structs by offset, so every layout and id is pinned below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <tuple>

// COM-style calls: __stdcall on Windows (which x86-64 ignores; we build 64-bit
// only there), the platform's default elsewhere.
#if defined(_WIN32)
#define VST3_API __stdcall
#else
#define VST3_API
#endif

namespace vst3 {

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint32 = std::uint32_t;
using uint64 = std::uint64_t;
using char8 = char;
using char16 = char16_t;
using TBool = std::uint8_t;
using tresult = int32;
using FIDString = const char8*;
using TUID = char[16];

// Result codes: COM's HRESULTs on Windows, small integers elsewhere.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = kResultOk;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

/// A 16-byte interface or class id, written as four 32-bit words. Windows
/// keeps the COM GUID byte order (first word and the two halves of the second
/// little-endian); elsewhere the words are stored big-endian, in order.
struct Uid {
    char bytes[16];

    static constexpr Uid of(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
        Uid uid{};
        const uint32 words[4] = {l1, l2, l3, l4};
        for (int w = 0; w < 4; ++w) {
            for (int b = 0; b < 4; ++b) uid.bytes[w * 4 + b] = byteOf(words[w], 3 - b);
        }
#if defined(_WIN32)
        uid.bytes[0] = byteOf(l1, 0);
        uid.bytes[1] = byteOf(l1, 1);
        uid.bytes[2] = byteOf(l1, 2);
        uid.bytes[3] = byteOf(l1, 3);
        uid.bytes[4] = byteOf(l2, 2);
        uid.bytes[5] = byteOf(l2, 3);
        uid.bytes[6] = byteOf(l2, 0);
        uid.bytes[7] = byteOf(l2, 1);
#endif
        return uid;
    }
    bool matches(const char* other) const { return other && std::memcmp(bytes, other, sizeof bytes) == 0; }

private:
    static constexpr char byteOf(uint32 word, int index) {
        return static_cast<char>(static_cast<uint8_t>(word >> (8 * index)));
    }
};
static_assert(sizeof(Uid) == 16);

// Interfaces: pure virtual, no destructor slot, operations in published order.
class FUnknown {
public:
    virtual tresult VST3_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 VST3_API addRef() = 0;
    virtual uint32 VST3_API release() = 0;
    static constexpr Uid iid = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

protected:
    ~FUnknown() = default;
};

/// queryInterface of an object that implements `Interfaces...`: hands out the
/// one asked for (FUnknown as the first of them) and counts the reference.
template <typename... Interfaces, typename Object>
tresult answerQuery(Object* object, const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    ((Interfaces::iid.matches(iid) && (*obj = static_cast<Interfaces*>(object))) || ...);
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    if (!*obj && FUnknown::iid.matches(iid)) *obj = static_cast<First*>(object);
    if (!*obj) return kNoInterface;
    object->addRef();
    return kResultOk;
}

class IPluginBase : public FUnknown {
public:
    virtual tresult VST3_API initialize(FUnknown* context) = 0;
    virtual tresult VST3_API terminate() = 0;
    static constexpr Uid iid = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

protected:
    ~IPluginBase() = default;
};

struct PFactoryInfo {
    enum { kURLSize = 256, kEmailSize = 128, kNameSize = 64 };
    enum FactoryFlags : int32 { kNoFlags = 0, kClassesDiscardable = 1 << 0, kUnicode = 1 << 4 };
    char8 vendor[kNameSize];
    char8 url[kURLSize];
    char8 email[kEmailSize];
    int32 flags;
};

struct PClassInfo {
    enum { kCategorySize = 32, kNameSize = 64 };
    static constexpr int32 kManyInstances = 0x7FFFFFFF;
    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char8 name[kNameSize];
};

struct PClassInfo2 {
    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char8 name[PClassInfo::kNameSize];
    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char8 vendor[kVendorSize];
    char8 version[kVersionSize];
    char8 sdkVersion[kVersionSize];
};

struct PClassInfoW {
    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char16 name[PClassInfo::kNameSize];
    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char16 vendor[kVendorSize];
    char16 version[kVersionSize];
    char16 sdkVersion[kVersionSize];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 VST3_API countClasses() = 0;
    virtual tresult VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
    virtual tresult VST3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

protected:
    ~IPluginFactory() = default;
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
    static constexpr Uid iid = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

protected:
    ~IPluginFactory2() = default;
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult VST3_API setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid = Uid::of(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

protected:
    ~IPluginFactory3() = default;
};

/// The module's one export that hosts look up by name.
using GetFactoryProc = IPluginFactory*(VST3_API*)();

class IBStream : public FUnknown {
public:
    enum IStreamSeekMode : int32 { kIBSeekSet = 0, kIBSeekCur, kIBSeekEnd };
    virtual tresult VST3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult VST3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult VST3_API seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult VST3_API tell(int64* pos) = 0;
    static constexpr Uid iid = Uid::of(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);

protected:
    ~IBStream() = default;
};

// The published layouts (natural alignment on both x86-64 platforms).
static_assert(sizeof(TUID) == 16 && sizeof(char16) == 2 && sizeof(TBool) == 1);
static_assert(offsetof(PFactoryInfo, url) == 64 && offsetof(PFactoryInfo, email) == 320 &&
              offsetof(PFactoryInfo, flags) == 448 && sizeof(PFactoryInfo) == 452);
static_assert(offsetof(PClassInfo, cardinality) == 16 && offsetof(PClassInfo, category) == 20 &&
              offsetof(PClassInfo, name) == 52 && sizeof(PClassInfo) == 116);
static_assert(offsetof(PClassInfo2, classFlags) == 116 && offsetof(PClassInfo2, subCategories) == 120 &&
              offsetof(PClassInfo2, vendor) == 248 && offsetof(PClassInfo2, version) == 312 &&
              offsetof(PClassInfo2, sdkVersion) == 376 && sizeof(PClassInfo2) == 440);
static_assert(offsetof(PClassInfoW, name) == 52 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312 &&
              offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568 &&
              sizeof(PClassInfoW) == 696);

}  // namespace vst3
