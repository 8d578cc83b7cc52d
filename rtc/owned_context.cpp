#include "rtc/owned_context.hpp"

#include "rtc/periodic_execution_context.hpp"
#include "rtc/triggered_execution_context.hpp"

#include <iostream>

namespace RTC {

namespace {

// The contexts are servants with their own bases; this lends them the common face.
template <class Context>
class OwnedContextOf final : public OwnedContext {
  public:
    template <class... Args>
    explicit OwnedContextOf(Args&&... args)
        : context_(std::make_unique<Context>(std::forward<Args>(args)...)) {}
    void bindOwner(RTObject_impl* owner, RTObject_ptr ownerRef) override {
        context_->bindOwner(owner, ownerRef);
    }
    ExecutionContextService_ptr getObjRef() const override { return context_->getObjRef(); }
    ReturnCode_t start() override { return context_->start(); }
    LifeCycleState get_component_state(LightweightRTObject_ptr comp) override {
        return context_->get_component_state(comp);
    }
    ReturnCode_t deactivate_component(LightweightRTObject_ptr comp) override {
        return context_->deactivate_component(comp);
    }
    void shutdown() override { context_->shutdown(); }
    std::thread::id threadId() const override { return context_->threadId(); }

  private:
    std::unique_ptr<Context> context_;
};

}  // namespace

std::unique_ptr<OwnedContext> createOwnedContext(const coil::Properties& props) {
    const std::string type = props.getProperty("periodic.type", "PeriodicExecutionContext");
    if (auto kind = TriggeredExecutionContext::kindOf(type)) {
        return std::make_unique<OwnedContextOf<TriggeredExecutionContext>>(*kind, props);
    }
    if (type != "PeriodicExecutionContext") {
        std::cerr << "exec_cxt.periodic.type: unknown execution context type \"" << type
                  << "\"; using PeriodicExecutionContext" << std::endl;
    }
    return std::make_unique<OwnedContextOf<PeriodicExecutionContext>>(props);
}

}  // namespace RTC
