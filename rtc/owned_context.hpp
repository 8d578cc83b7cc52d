#pragma once
// What a component needs of the execution context it owns, whichever kind
// exec_cxt.periodic.type chose: the periodic one or a triggered one.

#include "rtc/idl/RTC.hh"
#include "rtc/properties.hpp"

#include <memory>
#include <thread>

namespace RTC {

class RTObject_impl;

class OwnedContext {
  public:
    virtual ~OwnedContext() = default;
    virtual void bindOwner(RTObject_impl* owner, RTObject_ptr ownerRef) = 0;
    virtual ExecutionContextService_ptr getObjRef() const = 0;
    virtual ReturnCode_t start() = 0;
    virtual LifeCycleState get_component_state(LightweightRTObject_ptr comp) = 0;
    virtual ReturnCode_t deactivate_component(LightweightRTObject_ptr comp) = 0;
    // Stops the context and deactivates its servant.
    virtual void shutdown() = 0;
    // The thread that runs the cycles (for a context run by its callers: the latest one).
    virtual std::thread::id threadId() const = 0;
};

// props: the component's "exec_cxt" node. An unknown periodic.type is reported on the
// console and replaced by the periodic context.
std::unique_ptr<OwnedContext> createOwnedContext(const coil::Properties& props);

}  // namespace RTC
