// A recording VST 2 host for tests. audioMasterCallback is a plain function
// pointer, so FakeHost::callback routes every call to the FakeHost that is
// current: the most recently constructed one still alive. Calls may arrive
// from any thread (e.g. pin requests from a test's audio thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/vst2.h"

struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

class FakeHost {
public:
    /// Answer to audioMasterVersion until told otherwise, so effects can be created.
    static constexpr intptr_t kDefaultVersion = 2400;

    FakeHost();   // becomes the current host
    ~FakeHost();  // the previous host becomes current again
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    /// The function to hand to an effect; answers 0 when no FakeHost is current.
    static intptr_t VSTCALLBACK callback(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);

    /// Answer for every opcode from now on; drops per-opcode answers, the
    /// version answer included.
    void answerAll(intptr_t answer);
    /// Answer for one opcode.
    void answer(int32_t opcode, intptr_t answer);
    /// Runs inside the call, after recording and before answering; its result
    /// replaces the configured answer. Lets a test act as a host would, e.g.
    /// send effSetSampleRate while serving audioMasterGetSampleRate.
    void onCall(std::function<intptr_t(const HostCall&, intptr_t answer)> handler);

    std::vector<HostCall> calls() const;
    std::vector<HostCall> callsOf(int32_t opcode) const;
    std::size_t count(int32_t opcode) const;
    std::size_t size() const;
    void clear();

private:
    intptr_t serve(const HostCall& call);

    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
    std::map<int32_t, intptr_t> answers_;
    intptr_t defaultAnswer_ = 0;
    std::function<intptr_t(const HostCall&, intptr_t)> handler_;
    FakeHost* previous_;
};
