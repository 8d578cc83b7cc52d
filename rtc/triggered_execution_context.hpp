#pragma once
// Execution contexts that advance only when ticked, through
// OpenRTM::ExtTrigExecutionContextService::tick():
//   ExtTrigExecutionContext    tick() wakes the context's own thread for one cycle and returns
//                              at once; ticks that arrive during a cycle fold into one.
//   OpenHRPExecutionContext    tick() runs one cycle in the caller's thread and returns when it
//                              is done, after sleeping out the rest of the period.
//   SimulatorExecutionContext  as OpenHRP; activate, deactivate and reset take effect inside
//                              the call, under the tick's lock.
// A cycle runs the owner and then the participants, in the order they were attached, in three
// passes: transitions, do callbacks, state updates. Participants in other processes are called
// synchronously over CORBA. One whose call fails in the transport (no answer within the client
// call timeout, process gone) is dropped from the context, with one console line, so that a
// hung or dead peer costs one timeout and not one per tick.

#include "rtc/idl/ExtTrigExecutionContextService.hh"
#include "rtc/properties.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace RTC {

class RTObject_impl;

class TriggeredExecutionContext : public virtual POA_OpenRTM::ExtTrigExecutionContextService {
  public:
    // The component callbacks a cycle or a transition makes.
    enum Callback : int;
    enum class Kind { ExtTrig, OpenHRP, Simulator };
    // The kind an exec_cxt.periodic.type names, if it names one of these.
    static std::optional<Kind> kindOf(const std::string& type);

    // props: the component's "exec_cxt" node (periodic.rate, sync_transition, ...).
    TriggeredExecutionContext(Kind kind, const coil::Properties& props);
    ~TriggeredExecutionContext() override;
    TriggeredExecutionContext(const TriggeredExecutionContext&) = delete;
    TriggeredExecutionContext& operator=(const TriggeredExecutionContext&) = delete;

    // Activates the servant and binds the owning component as handle 0.
    void bindOwner(RTObject_impl* owner, RTObject_ptr ownerRef);
    ExecutionContextService_ptr getObjRef() const;
    void shutdown();
    std::thread::id threadId() const;

    // ExtTrigExecutionContextService
    void tick() override;
    // ExecutionContext
    CORBA::Boolean is_running() override;
    ReturnCode_t start() override;
    ReturnCode_t stop() override;
    CORBA::Double get_rate() override;
    ReturnCode_t set_rate(CORBA::Double rate) override;
    ReturnCode_t add_component(LightweightRTObject_ptr comp) override;
    ReturnCode_t remove_component(LightweightRTObject_ptr comp) override;
    ReturnCode_t activate_component(LightweightRTObject_ptr comp) override;
    ReturnCode_t deactivate_component(LightweightRTObject_ptr comp) override;
    ReturnCode_t reset_component(LightweightRTObject_ptr comp) override;
    LifeCycleState get_component_state(LightweightRTObject_ptr comp) override;
    ExecutionKind get_kind() override;
    // ExecutionContextService
    ExecutionContextProfile* get_profile() override;

  private:
    struct Member;
    using MemberPtr = std::shared_ptr<Member>;
    enum class Request { Activate, Deactivate, Reset };

    const char* typeName() const;
    MemberPtr findMember(LightweightRTObject_ptr comp) const;
    bool onCycleThread() const;
    std::vector<MemberPtr> takeRequests();
    void cycle();
    void transition(Member& m);
    void setState(Member& m, LifeCycleState cur, LifeCycleState next);
    std::optional<ReturnCode_t> call(Member& m, Callback cb);
    void drop(Member& m, const char* reason);
    ReturnCode_t request(LightweightRTObject_ptr comp, Request what);
    ReturnCode_t requestAtOnce(Member& m, Request what);
    void worker();
    std::chrono::steady_clock::duration period() const;

    const Kind kind_;
    const coil::Properties props_;
    bool syncTransition_[3] = {true, true, true};
    double transitionTimeout_[3] = {0.5, 0.5, 0.5};

    std::mutex tickMutex_;      // one cycle at a time
    mutable std::mutex mutex_;  // guards members_ and their states, rate_, running_, wake_
    std::condition_variable cv_;
    std::vector<MemberPtr> members_;
    double rate_ = 1000.0;
    bool running_ = false;
    bool wake_ = false;
    std::atomic<std::thread::id> cycleThread_{};  // the thread inside cycle(), if any
    std::atomic<std::thread::id> lastThread_{};   // the thread that ran the latest cycle
    std::thread worker_;
    RTObject_var owner_;
    ExecutionContextService_var ref_;
    PortableServer::ObjectId_var oid_;
    bool activated_ = false;
};

}  // namespace RTC
