#include "tests/support/fake_host.h"

#include <atomic>
#include <utility>

namespace {
std::atomic<FakeHost*> currentHost{nullptr};
}  // namespace

FakeHost::FakeHost() : previous_(currentHost.exchange(this)) {
    answers_[audioMasterVersion] = kDefaultVersion;
}

FakeHost::~FakeHost() { currentHost.store(previous_); }

intptr_t VSTCALLBACK FakeHost::callback(AEffect* effect, int32_t opcode, int32_t index,
                                        intptr_t value, void* ptr, float opt) {
    FakeHost* host = currentHost.load();
    return host ? host->serve(HostCall{effect, opcode, index, value, ptr, opt}) : 0;
}

intptr_t FakeHost::serve(const HostCall& call) {
    std::function<intptr_t(const HostCall&, intptr_t)> handler;
    intptr_t answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        const auto found = answers_.find(call.opcode);
        answer = found != answers_.end() ? found->second : defaultAnswer_;
        handler = handler_;
    }
    // Outside the lock: a handler may call back into the effect, which may call us.
    return handler ? handler(call, answer) : answer;
}

void FakeHost::answerAll(intptr_t answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    defaultAnswer_ = answer;
    answers_.clear();
}

void FakeHost::answer(int32_t opcode, intptr_t answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[opcode] = answer;
}

void FakeHost::onCall(std::function<intptr_t(const HostCall&, intptr_t)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<HostCall> FakeHost::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<HostCall> FakeHost::callsOf(int32_t opcode) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HostCall> found;
    for (const HostCall& call : calls_)
        if (call.opcode == opcode) found.push_back(call);
    return found;
}

std::size_t FakeHost::count(int32_t opcode) const { return callsOf(opcode).size(); }

std::size_t FakeHost::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
}

void FakeHost::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}
