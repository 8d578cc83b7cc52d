#pragma once
// The owned periodic execution context. Requests from ORB threads only set flags; the
// context's own thread makes every transition and runs every state callback. A request
// wakes the thread at once, so a synchronous activation answers within milliseconds
// rather than after a period. With every component inactive the thread sleeps until the
// next request. Cycles start on fixed deadlines, one period apart.

#include "rtc/idl/RTC.hh"
#include "rtc/properties.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace RTC {

class RTObject_impl;

class PeriodicExecutionContext : public virtual POA_RTC::ExecutionContextService {
  public:
    // props: the component's "exec_cxt" node (periodic.rate, sync_transition, ...).
    explicit PeriodicExecutionContext(const coil::Properties& props);
    ~PeriodicExecutionContext() override;
    PeriodicExecutionContext(const PeriodicExecutionContext&) = delete;
    PeriodicExecutionContext& operator=(const PeriodicExecutionContext&) = delete;

    // Activates the servant and binds the owning component as handle 0.
    void bindOwner(RTObject_impl* owner, RTObject_ptr ownerRef);
    ExecutionContextService_ptr getObjRef() const;
    // Stops the thread (if running) and deactivates the servant.
    void shutdown();
    std::thread::id threadId() const;

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
    enum class Request { Activate, Deactivate, Reset };
    std::shared_ptr<Member> findMember(LightweightRTObject_ptr comp) const;
    ReturnCode_t request(LightweightRTObject_ptr comp, Request what);
    void run();
    void transition(Member& m);
    ReturnCode_t invoke(Member& m, int callback);
    void setState(Member& m, LifeCycleState cur, LifeCycleState next);

    mutable std::mutex mutex_;  // guards members' states and flags, rate_, running_, wake_
    std::condition_variable cv_;
    std::vector<std::shared_ptr<Member>> members_;
    coil::Properties props_;
    double rate_ = 1000.0;
    bool syncActivation_ = true;
    bool syncDeactivation_ = true;
    bool syncReset_ = true;
    double activationTimeout_ = 0.5;
    double deactivationTimeout_ = 0.5;
    double resetTimeout_ = 0.5;
    bool running_ = false;
    bool wake_ = false;
    std::thread thread_;
    std::thread::id threadId_;
    RTObject_var owner_;
    ExecutionContextService_var ref_;
    PortableServer::ObjectId_var oid_;
    bool activated_ = false;
};

}  // namespace RTC
