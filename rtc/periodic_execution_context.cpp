#include "rtc/periodic_execution_context.hpp"

#include "rtc/fixed_deadline.hpp"
#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/rt_object.hpp"
#include "rtc/string_util.hpp"

#include <chrono>
#include <cstdlib>

namespace RTC {

namespace {
enum Callback {
    kStartup,
    kShutdown,
    kActivated,
    kDeactivated,
    kAborting,
    kError,
    kReset,
    kExecute,
    kStateUpdate,
    kRateChanged
};

double toDouble(const std::string& text, double fallback) {
    if (text.empty()) {
        return fallback;
    }
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return (end != nullptr && *end == '\0' && v > 0) ? v : fallback;
}
}  // namespace

struct PeriodicExecutionContext::Member {
    RTC::LightweightRTObject_var ref;
    RTObject_impl* local = nullptr;
    RTC::DataFlowComponentAction_var dataflow;
    ExecutionContextHandle_t handle = 0;
    LifeCycleState cur = INACTIVE_STATE;
    LifeCycleState next = INACTIVE_STATE;
    bool activate = false;
    bool deactivate = false;
    bool reset = false;
    bool abandoned = false;  // the activation's requester timed out and was told so
};

PeriodicExecutionContext::PeriodicExecutionContext(const coil::Properties& props) : props_(props) {
    rate_ = toDouble(props.getProperty("periodic.rate"), 1000.0);
    bool sync =
        !props.hasKey("sync_transition") || rtc::isYes(props.getProperty("sync_transition"));
    auto syncOf = [&](const char* key) {
        return props.hasKey(key) ? rtc::isYes(props.getProperty(key)) : sync;
    };
    syncActivation_ = syncOf("sync_activation");
    syncDeactivation_ = syncOf("sync_deactivation");
    syncReset_ = syncOf("sync_reset");
    double timeout = toDouble(props.getProperty("transition_timeout"), 0.5);
    activationTimeout_ = toDouble(props.getProperty("activation_timeout"), timeout);
    deactivationTimeout_ = toDouble(props.getProperty("deactivation_timeout"), timeout);
    resetTimeout_ = toDouble(props.getProperty("reset_timeout"), timeout);
}

PeriodicExecutionContext::~PeriodicExecutionContext() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PeriodicExecutionContext::bindOwner(RTObject_impl* owner, RTC::RTObject_ptr ownerRef) {
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(this);
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    auto member = std::make_shared<Member>();
    member->ref = RTC::LightweightRTObject::_duplicate(ownerRef);
    member->local = owner;
    member->handle = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    oid_ = oid._retn();
    activated_ = true;
    ref_ = RTC::ExecutionContextService::_narrow(obj.in());
    owner_ = RTC::RTObject::_duplicate(ownerRef);
    members_.insert(members_.begin(), member);
}

RTC::ExecutionContextService_ptr PeriodicExecutionContext::getObjRef() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RTC::ExecutionContextService::_duplicate(ref_.in());
}

std::thread::id PeriodicExecutionContext::threadId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadId_;
}

void PeriodicExecutionContext::shutdown() {
    stop();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    PortableServer::ObjectId_var oid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activated_) {
            return;
        }
        activated_ = false;
        oid = oid_._retn();
    }
    try {
        PortableServer::POA_var poa = Manager::instance().getPOA();
        poa->deactivate_object(oid.in());
    } catch (const CORBA::Exception&) {
    }
}

std::shared_ptr<PeriodicExecutionContext::Member> PeriodicExecutionContext::findMember(
    RTC::LightweightRTObject_ptr comp) const {
    if (CORBA::is_nil(comp)) {
        return nullptr;
    }
    std::vector<std::shared_ptr<Member>> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        members = members_;
    }
    for (const auto& m : members) {
        try {
            if (comp->_is_equivalent(m->ref.in())) {
                return m;
            }
        } catch (const CORBA::Exception&) {
        }
    }
    return nullptr;
}

ReturnCode_t PeriodicExecutionContext::invoke(Member& m, int callback) {
    ExecutionContextHandle_t h = m.handle;
    try {
        if (m.local != nullptr) {
            RTObject_impl& c = *m.local;
            switch (callback) {
                case kStartup:
                    return c.on_startup(h);
                case kShutdown:
                    return c.on_shutdown(h);
                case kActivated:
                    return c.on_activated(h);
                case kDeactivated:
                    return c.on_deactivated(h);
                case kAborting:
                    return c.on_aborting(h);
                case kError:
                    return c.on_error(h);
                case kReset:
                    return c.on_reset(h);
                case kExecute:
                    return c.on_execute(h);
                case kStateUpdate:
                    return c.on_state_update(h);
                default:
                    return c.on_rate_changed(h);
            }
        }
        switch (callback) {
            case kStartup:
                return m.ref->on_startup(h);
            case kShutdown:
                return m.ref->on_shutdown(h);
            case kActivated:
                return m.ref->on_activated(h);
            case kDeactivated:
                return m.ref->on_deactivated(h);
            case kAborting:
                return m.ref->on_aborting(h);
            case kError:
                return m.ref->on_error(h);
            case kReset:
                return m.ref->on_reset(h);
            default:
                break;
        }
        if (CORBA::is_nil(m.dataflow.in())) {
            return RTC_OK;
        }
        switch (callback) {
            case kExecute:
                return m.dataflow->on_execute(h);
            case kStateUpdate:
                return m.dataflow->on_state_update(h);
            default:
                return m.dataflow->on_rate_changed(h);
        }
    } catch (...) {
        return RTC_ERROR;
    }
}

void PeriodicExecutionContext::setState(Member& m, LifeCycleState cur, LifeCycleState next) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m.cur = cur;
        m.next = next;
    }
    cv_.notify_all();
}

void PeriodicExecutionContext::transition(Member& m) {
    for (int step = 0; step < 3; ++step) {
        LifeCycleState cur;
        LifeCycleState next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cur = m.cur;
            next = m.next;
        }
        if (cur == next) {
            return;
        }
        if (cur == ACTIVE_STATE) {
            invoke(m, kDeactivated);
        }
        if (next == ACTIVE_STATE) {
            ReturnCode_t rc = invoke(m, kActivated);
            bool abandoned = false;
            {
                // One lock for the check and the new state: a requester timing out now either
                // sees ACTIVE or has abandoned the activation.
                std::lock_guard<std::mutex> lock(mutex_);
                std::swap(abandoned, m.abandoned);
                if (!abandoned) {
                    m.cur = ACTIVE_STATE;
                    m.next = rc == RTC_OK ? ACTIVE_STATE : ERROR_STATE;
                }
            }
            cv_.notify_all();
            if (abandoned) {
                // Its requester heard RTC_ERROR: it must not turn ACTIVE behind its back.
                if (rc == RTC_OK) {
                    invoke(m, kDeactivated);
                }
                setState(m, INACTIVE_STATE, INACTIVE_STATE);
            }
        } else if (next == ERROR_STATE) {
            invoke(m, kAborting);
            setState(m, ERROR_STATE, ERROR_STATE);
        } else if (cur == ERROR_STATE && invoke(m, kReset) != RTC_OK) {
            setState(m, ERROR_STATE, ERROR_STATE);
        } else {
            setState(m, INACTIVE_STATE, INACTIVE_STATE);
        }
    }
}

void PeriodicExecutionContext::run() {
    using Clock = std::chrono::steady_clock;
    // The deadline the current cycle belongs to; unset after an idle wait or a rate change,
    // when the schedule starts afresh from the wake-up.
    Clock::time_point deadline{};
    bool anchored = false;
    double scheduledRate = 0;
    for (;;) {
        Clock::time_point begin = Clock::now();
        if (!anchored) {
            deadline = begin;
            anchored = true;
        }
        std::vector<std::shared_ptr<Member>> members;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!running_) {
                return;
            }
            wake_ = false;
            members = members_;
            for (auto& m : members) {
                if (m->activate && m->cur == INACTIVE_STATE) {
                    m->next = ACTIVE_STATE;
                    m->abandoned = false;
                    if (m->local != nullptr) {
                        m->local->setActivationAbandoned(false);
                    }
                }
                if (m->deactivate && m->cur == ACTIVE_STATE) {
                    m->next = INACTIVE_STATE;
                }
                if (m->reset && m->cur == ERROR_STATE) {
                    m->next = INACTIVE_STATE;
                }
                m->activate = m->deactivate = m->reset = false;
            }
        }
        for (auto& m : members) {
            transition(*m);
        }
        std::vector<bool> stepped(members.size(), false);
        for (std::size_t i = 0; i < members.size(); ++i) {
            Member& m = *members[i];
            LifeCycleState cur;
            LifeCycleState next;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                cur = m.cur;
                next = m.next;
            }
            if (cur == ACTIVE_STATE && next == ACTIVE_STATE) {
                stepped[i] = true;
                if (invoke(m, kExecute) != RTC_OK) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    m.next = ERROR_STATE;
                }
            } else if (cur == ERROR_STATE) {
                invoke(m, kError);
            }
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            Member& m = *members[i];
            bool stillActive = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stillActive = m.next == ACTIVE_STATE;
            }
            if (stepped[i] && stillActive && invoke(m, kStateUpdate) != RTC_OK) {
                std::lock_guard<std::mutex> lock(mutex_);
                m.next = ERROR_STATE;
            }
        }

        std::unique_lock<std::mutex> lock(mutex_);
        bool idle = true;
        for (const auto& m : members_) {
            if (m->cur != INACTIVE_STATE || m->next != INACTIVE_STATE || m->activate || m->reset) {
                idle = false;
            }
        }
        auto woken = [this] { return wake_ || !running_; };
        if (idle) {
            cv_.wait(lock, woken);
            anchored = false;
            continue;
        }
        if (rate_ != scheduledRate) {
            scheduledRate = rate_;
            deadline = begin;
        }
        Clock::time_point next = rtc::nextDeadline(deadline, rtc::periodOf(rate_), Clock::now());
        // Cycles are counted from fixed deadlines, so wake-up latency does not add up. A
        // request that wakes the thread early runs an extra cycle and keeps the schedule.
        if (!cv_.wait_until(lock, next, woken)) {
            deadline = next;
        }
    }
}

CORBA::Boolean PeriodicExecutionContext::is_running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

ReturnCode_t PeriodicExecutionContext::start() {
    std::vector<std::shared_ptr<Member>> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) {
            return PRECONDITION_NOT_MET;
        }
        members = members_;
    }
    for (auto& m : members) {
        invoke(*m, kStartup);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
    thread_ = std::thread([this] { run(); });
    threadId_ = thread_.get_id();
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::stop() {
    std::vector<std::shared_ptr<Member>> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            return PRECONDITION_NOT_MET;
        }
        running_ = false;
        members = members_;
    }
    cv_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    for (auto& m : members) {
        invoke(*m, kShutdown);
    }
    return RTC_OK;
}

CORBA::Double PeriodicExecutionContext::get_rate() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rate_;
}

ReturnCode_t PeriodicExecutionContext::set_rate(CORBA::Double rate) {
    if (!(rate > 0.0)) {
        return BAD_PARAMETER;
    }
    std::vector<std::shared_ptr<Member>> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rate_ = rate;
        members = members_;
    }
    ReturnCode_t result = RTC_OK;
    for (auto& m : members) {
        ReturnCode_t rc = invoke(*m, kRateChanged);
        if (rc != RTC_OK) {
            result = rc;
            std::lock_guard<std::mutex> lock(mutex_);
            m->next = ERROR_STATE;
            wake_ = true;
        }
    }
    cv_.notify_all();
    return result;
}

ReturnCode_t PeriodicExecutionContext::add_component(RTC::LightweightRTObject_ptr comp) {
    if (CORBA::is_nil(comp)) {
        return BAD_PARAMETER;
    }
    if (findMember(comp)) {
        return PRECONDITION_NOT_MET;
    }
    auto member = std::make_shared<Member>();
    try {
        RTC::ExecutionContextService_var self = getObjRef();
        member->handle = comp->attach_context(self.in());
        member->dataflow = RTC::DataFlowComponentAction::_narrow(comp);
    } catch (const CORBA::Exception&) {
        return BAD_PARAMETER;
    }
    if (member->handle < 0) {
        return BAD_PARAMETER;
    }
    member->ref = RTC::LightweightRTObject::_duplicate(comp);
    std::lock_guard<std::mutex> lock(mutex_);
    members_.push_back(member);
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::remove_component(RTC::LightweightRTObject_ptr comp) {
    auto member = findMember(comp);
    if (!member || member->local != nullptr) {
        return BAD_PARAMETER;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (member->cur == ACTIVE_STATE) {
            return PRECONDITION_NOT_MET;
        }
        for (auto it = members_.begin(); it != members_.end(); ++it) {
            if (*it == member) {
                members_.erase(it);
                break;
            }
        }
    }
    try {
        member->ref->detach_context(member->handle);
    } catch (const CORBA::Exception&) {
    }
    return RTC_OK;
}

ReturnCode_t PeriodicExecutionContext::request(RTC::LightweightRTObject_ptr comp, Request what) {
    auto m = findMember(comp);
    if (!m) {
        return BAD_PARAMETER;
    }
    LifeCycleState required = what == Request::Activate     ? INACTIVE_STATE
                              : what == Request::Deactivate ? ACTIVE_STATE
                                                            : ERROR_STATE;
    bool sync = what == Request::Activate     ? syncActivation_
                : what == Request::Deactivate ? syncDeactivation_
                                              : syncReset_;
    double timeout = what == Request::Activate     ? activationTimeout_
                     : what == Request::Deactivate ? deactivationTimeout_
                                                   : resetTimeout_;
    std::unique_lock<std::mutex> lock(mutex_);
    if (m->cur != required) {
        return PRECONDITION_NOT_MET;
    }
    switch (what) {
        case Request::Activate:
            m->activate = true;
            break;
        case Request::Deactivate:
            m->deactivate = true;
            break;
        case Request::Reset:
            m->reset = true;
            break;
    }
    wake_ = true;
    cv_.notify_all();
    // The context's own thread cannot wait for itself.
    if (!sync || std::this_thread::get_id() == threadId_) {
        return RTC_OK;
    }
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(timeout));
    cv_.wait_until(lock, deadline, [&] { return m->cur != required; });
    if (what == Request::Activate && m->cur == INACTIVE_STATE) {
        // Not done in time: withdraw a request not yet taken up, abandon one under way.
        if (m->activate) {
            m->activate = false;
        } else if (m->next == ACTIVE_STATE) {
            m->abandoned = true;
            if (m->local != nullptr) {
                m->local->setActivationAbandoned(true);
            }
        }
        return RTC_ERROR;
    }
    switch (what) {
        case Request::Activate:
            return m->cur == ACTIVE_STATE  ? RTC_OK
                   : m->cur == ERROR_STATE ? PRECONDITION_NOT_MET
                                           : RTC_ERROR;
        case Request::Deactivate:
        case Request::Reset:
        default:
            return m->cur == INACTIVE_STATE ? RTC_OK : RTC_ERROR;
    }
}

ReturnCode_t PeriodicExecutionContext::activate_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Activate);
}

ReturnCode_t PeriodicExecutionContext::deactivate_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Deactivate);
}

ReturnCode_t PeriodicExecutionContext::reset_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Reset);
}

LifeCycleState PeriodicExecutionContext::get_component_state(RTC::LightweightRTObject_ptr comp) {
    auto m = findMember(comp);
    if (!m) {
        return CREATED_STATE;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return m->cur;
}

ExecutionKind PeriodicExecutionContext::get_kind() {
    return PERIODIC;
}

ExecutionContextProfile* PeriodicExecutionContext::get_profile() {
    auto* profile = new ExecutionContextProfile();
    std::vector<std::shared_ptr<Member>> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        profile->kind = PERIODIC;
        profile->rate = rate_;
        profile->owner = RTC::RTObject::_duplicate(owner_.in());
        members = members_;
        rtc::appendString(profile->properties, "type", "PeriodicExecutionContext");
        rtc::appendString(profile->properties, "rate", props_.getProperty("periodic.rate", "1000"));
        rtc::appendString(profile->properties, "sync_transition",
                          props_.getProperty("sync_transition", "YES"));
        rtc::appendString(profile->properties, "transition_timeout",
                          props_.getProperty("transition_timeout", "0.5"));
    }
    for (const auto& m : members) {
        if (m->local != nullptr) {
            continue;
        }
        try {
            RTC::RTObject_var rtobj = RTC::RTObject::_narrow(m->ref.in());
            CORBA::ULong n = profile->participants.length();
            profile->participants.length(n + 1);
            profile->participants[n] = rtobj._retn();
        } catch (const CORBA::Exception&) {
        }
    }
    return profile;
}

}  // namespace RTC
