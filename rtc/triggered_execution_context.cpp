#include "rtc/triggered_execution_context.hpp"

#include "rtc/manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/rt_object.hpp"
#include "rtc/string_util.hpp"

#include <cstdlib>
#include <iostream>

namespace RTC {

enum TriggeredExecutionContext::Callback : int {
    kStartup,
    kShutdown,
    kActivated,
    kDeactivated,
    kAborting,
    kError,
    kReset,
    kRateChanged,
    kExecute,
    kStateUpdate,
};

namespace {

// One callback by name on any of the three kinds of receiver. A switch rather than a table
// of member pointers: the undefined-behaviour checker misreads indexing such a table.
template <class Target>
ReturnCode_t invoke(Target& t, TriggeredExecutionContext::Callback cb, ExecutionContextHandle_t h) {
    using C = TriggeredExecutionContext::Callback;
    if constexpr (requires { t.on_startup(h); }) {
        switch (cb) {
            case C::kStartup:
                return t.on_startup(h);
            case C::kShutdown:
                return t.on_shutdown(h);
            case C::kActivated:
                return t.on_activated(h);
            case C::kDeactivated:
                return t.on_deactivated(h);
            case C::kAborting:
                return t.on_aborting(h);
            case C::kError:
                return t.on_error(h);
            case C::kReset:
                return t.on_reset(h);
            default:
                break;
        }
    }
    if constexpr (requires { t.on_execute(h); }) {
        switch (cb) {
            case C::kRateChanged:
                return t.on_rate_changed(h);
            case C::kExecute:
                return t.on_execute(h);
            case C::kStateUpdate:
                return t.on_state_update(h);
            default:
                break;
        }
    }
    return RTC_ERROR;
}

double positive(const std::string& text, double fallback) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    return (!text.empty() && *end == '\0' && v > 0) ? v : fallback;
}

constexpr const char* kTypeNames[] = {"ExtTrigExecutionContext", "OpenHRPExecutionContext",
                                      "SimulatorExecutionContext"};
constexpr const char* kRequestKeys[][2] = {{"sync_activation", "activation_timeout"},
                                           {"sync_deactivation", "deactivation_timeout"},
                                           {"sync_reset", "reset_timeout"}};

}  // namespace

struct TriggeredExecutionContext::Member {
    RTC::LightweightRTObject_var ref;
    RTC::DataFlowComponentAction_var dataflow;
    RTObject_impl* local = nullptr;
    std::string name;  // for console lines
    ExecutionContextHandle_t handle = 0;
    LifeCycleState cur = INACTIVE_STATE;
    LifeCycleState next = INACTIVE_STATE;
    bool requested[3] = {false, false, false};  // indexed by Request
    bool lost = false;
};

std::optional<TriggeredExecutionContext::Kind> TriggeredExecutionContext::kindOf(
    const std::string& type) {
    for (int k = 0; k < 3; ++k) {
        if (type == kTypeNames[k]) {
            return static_cast<Kind>(k);
        }
    }
    return std::nullopt;
}

TriggeredExecutionContext::TriggeredExecutionContext(Kind kind, const coil::Properties& props)
    : kind_(kind), props_(props) {
    rate_ = positive(props.getProperty("periodic.rate"), 1000.0);
    const bool sync =
        !props.hasKey("sync_transition") || rtc::isYes(props.getProperty("sync_transition"));
    const double timeout = positive(props.getProperty("transition_timeout"), 0.5);
    for (int r = 0; r < 3; ++r) {
        const char* syncKey = kRequestKeys[r][0];
        syncTransition_[r] = props.hasKey(syncKey) ? rtc::isYes(props.getProperty(syncKey)) : sync;
        transitionTimeout_[r] = positive(props.getProperty(kRequestKeys[r][1]), timeout);
    }
}

TriggeredExecutionContext::~TriggeredExecutionContext() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    cv_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

const char* TriggeredExecutionContext::typeName() const {
    return kTypeNames[static_cast<int>(kind_)];
}

void TriggeredExecutionContext::bindOwner(RTObject_impl* owner, RTC::RTObject_ptr ownerRef) {
    PortableServer::POA_var poa = Manager::instance().getPOA();
    PortableServer::ObjectId_var oid = poa->activate_object(this);
    CORBA::Object_var obj = poa->id_to_reference(oid.in());
    auto member = std::make_shared<Member>();
    member->ref = RTC::LightweightRTObject::_duplicate(ownerRef);
    member->local = owner;
    member->name = owner->getInstanceName();
    std::lock_guard<std::mutex> lock(mutex_);
    oid_ = oid._retn();
    activated_ = true;
    ref_ = RTC::ExecutionContextService::_narrow(obj.in());
    owner_ = RTC::RTObject::_duplicate(ownerRef);
    members_.insert(members_.begin(), member);
}

RTC::ExecutionContextService_ptr TriggeredExecutionContext::getObjRef() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return RTC::ExecutionContextService::_duplicate(ref_.in());
}

std::thread::id TriggeredExecutionContext::threadId() const {
    return lastThread_.load();
}

void TriggeredExecutionContext::shutdown() {
    stop();
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

std::chrono::steady_clock::duration TriggeredExecutionContext::period() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate_));
}

bool TriggeredExecutionContext::onCycleThread() const {
    return cycleThread_.load() == std::this_thread::get_id();
}

TriggeredExecutionContext::MemberPtr TriggeredExecutionContext::findMember(
    RTC::LightweightRTObject_ptr comp) const {
    if (CORBA::is_nil(comp)) {
        return nullptr;
    }
    std::vector<MemberPtr> members;
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

std::optional<ReturnCode_t> TriggeredExecutionContext::call(Member& m, Callback cb) {
    if (m.local != nullptr) {
        try {
            return invoke(*m.local, cb, m.handle);
        } catch (...) {
            return RTC_ERROR;
        }
    }
    try {
        if (cb < kRateChanged) {
            return invoke(*m.ref.in(), cb, m.handle);
        }
        if (CORBA::is_nil(m.dataflow.in())) {
            return RTC_OK;
        }
        return invoke(*m.dataflow.in(), cb, m.handle);
    } catch (const CORBA::TIMEOUT&) {
        drop(m, "did not answer within the call timeout");
    } catch (const CORBA::SystemException& e) {
        drop(m, e._name());
    } catch (...) {
        return RTC_ERROR;
    }
    return std::nullopt;
}

void TriggeredExecutionContext::drop(Member& m, const char* reason) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (m.lost) {
            return;
        }
        m.lost = true;
        for (auto it = members_.begin(); it != members_.end(); ++it) {
            if (it->get() == &m) {
                members_.erase(it);
                break;
            }
        }
    }
    cv_.notify_all();
    std::cerr << typeName() << ": participant " << m.name << " dropped (" << reason << ")"
              << std::endl;
}

void TriggeredExecutionContext::setState(Member& m, LifeCycleState cur, LifeCycleState next) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m.cur = cur;
        m.next = next;
    }
    cv_.notify_all();
}

std::vector<TriggeredExecutionContext::MemberPtr> TriggeredExecutionContext::takeRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& m : members_) {
        static constexpr LifeCycleState kFrom[] = {INACTIVE_STATE, ACTIVE_STATE, ERROR_STATE};
        static constexpr LifeCycleState kTo[] = {ACTIVE_STATE, INACTIVE_STATE, INACTIVE_STATE};
        for (int r = 0; r < 3; ++r) {
            if (m->requested[r] && m->cur == kFrom[r]) {
                m->next = kTo[r];
            }
            m->requested[r] = false;
        }
    }
    return members_;
}

void TriggeredExecutionContext::transition(Member& m) {
    // Entry actions can change next again (a failed activation); follow at most that far.
    for (int step = 0; step < 3; ++step) {
        LifeCycleState cur;
        LifeCycleState next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (m.lost || m.cur == m.next) {
                return;
            }
            cur = m.cur;
            next = m.next;
        }
        if (cur == ACTIVE_STATE && !call(m, kDeactivated)) {
            return;
        }
        std::optional<ReturnCode_t> rc;
        if (next == ACTIVE_STATE) {
            if (!(rc = call(m, kActivated))) {
                return;
            }
            setState(m, ACTIVE_STATE, *rc == RTC_OK ? ACTIVE_STATE : ERROR_STATE);
        } else if (next == ERROR_STATE) {
            if (!call(m, kAborting)) {
                return;
            }
            setState(m, ERROR_STATE, ERROR_STATE);
        } else if (cur == ERROR_STATE) {
            if (!(rc = call(m, kReset))) {
                return;
            }
            const LifeCycleState after = *rc == RTC_OK ? INACTIVE_STATE : ERROR_STATE;
            setState(m, after, after);
        } else {
            setState(m, INACTIVE_STATE, INACTIVE_STATE);
        }
    }
}

void TriggeredExecutionContext::cycle() {
    cycleThread_ = std::this_thread::get_id();
    lastThread_ = std::this_thread::get_id();
    std::vector<MemberPtr> members = takeRequests();
    for (auto& m : members) {
        transition(*m);
    }
    std::vector<bool> executed(members.size(), false);
    struct Seen {
        LifeCycleState cur;
        LifeCycleState next;
        bool lost;
    };
    // States change on other threads too (requests, drops during set_rate): read under lock.
    auto seen = [this](const Member& m) {
        std::lock_guard<std::mutex> lock(mutex_);
        return Seen{m.cur, m.next, m.lost};
    };
    auto fail = [this](Member& m) {
        std::lock_guard<std::mutex> lock(mutex_);
        m.next = ERROR_STATE;
    };
    for (std::size_t i = 0; i < members.size(); ++i) {
        Member& m = *members[i];
        const Seen now = seen(m);
        if (now.lost) {
            continue;
        }
        if (now.cur == ACTIVE_STATE && now.next == ACTIVE_STATE) {
            executed[i] = true;
            auto rc = call(m, kExecute);
            if (rc && *rc != RTC_OK) {
                fail(m);
            }
        } else if (now.cur == ERROR_STATE) {
            call(m, kError);
        }
    }
    for (std::size_t i = 0; i < members.size(); ++i) {
        Member& m = *members[i];
        const Seen now = seen(m);
        if (!executed[i] || now.lost || now.next != ACTIVE_STATE) {
            continue;
        }
        auto rc = call(m, kStateUpdate);
        if (rc && *rc != RTC_OK) {
            fail(m);
        }
    }
    cycleThread_ = std::thread::id();
    cv_.notify_all();
}

void TriggeredExecutionContext::tick() {
    if (onCycleThread()) {
        return;  // a callback ticking its own context would wait for itself
    }
    if (kind_ == Kind::ExtTrig) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!running_) {
                return;
            }
            wake_ = true;
        }
        cv_.notify_all();
        return;
    }
    const auto begin = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> tickLock(tickMutex_);
        if (!is_running()) {
            return;
        }
        cycle();
    }
    std::this_thread::sleep_until(begin + period());
}

void TriggeredExecutionContext::worker() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [this] { return wake_ || !running_; });
            if (!running_) {
                return;
            }
            wake_ = false;
        }
        std::lock_guard<std::mutex> tickLock(tickMutex_);
        cycle();
    }
}

CORBA::Boolean TriggeredExecutionContext::is_running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

ReturnCode_t TriggeredExecutionContext::start() {
    std::vector<MemberPtr> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) {
            return PRECONDITION_NOT_MET;
        }
        members = members_;
    }
    for (auto& m : members) {
        call(*m, kStartup);
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
    if (kind_ == Kind::ExtTrig) {
        worker_ = std::thread([this] { worker(); });
        lastThread_ = worker_.get_id();
    }
    return RTC_OK;
}

ReturnCode_t TriggeredExecutionContext::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            return PRECONDITION_NOT_MET;
        }
        running_ = false;
    }
    cv_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
    // A tick in progress in another thread finishes before the shutdown callbacks.
    std::unique_lock<std::mutex> tickLock(tickMutex_, std::defer_lock);
    if (!onCycleThread()) {
        tickLock.lock();
    }
    std::vector<MemberPtr> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        members = members_;
    }
    for (auto& m : members) {
        call(*m, kShutdown);
    }
    return RTC_OK;
}

CORBA::Double TriggeredExecutionContext::get_rate() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rate_;
}

ReturnCode_t TriggeredExecutionContext::set_rate(CORBA::Double rate) {
    if (!(rate > 0.0)) {
        return BAD_PARAMETER;
    }
    std::vector<MemberPtr> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rate_ = rate;
        members = members_;
    }
    ReturnCode_t result = RTC_OK;
    for (auto& m : members) {
        auto rc = call(*m, kRateChanged);
        if (rc && *rc != RTC_OK) {
            result = *rc;
            std::lock_guard<std::mutex> lock(mutex_);
            m->next = ERROR_STATE;
        }
    }
    return result;
}

ReturnCode_t TriggeredExecutionContext::add_component(RTC::LightweightRTObject_ptr comp) {
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
        RTC::RTObject_var rtobj = RTC::RTObject::_narrow(comp);
        if (!CORBA::is_nil(rtobj.in())) {
            RTC::ComponentProfile_var profile = rtobj->get_component_profile();
            member->name = static_cast<const char*>(profile->instance_name);
        }
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

ReturnCode_t TriggeredExecutionContext::remove_component(RTC::LightweightRTObject_ptr comp) {
    auto member = findMember(comp);
    if (!member || member->local != nullptr) {
        return BAD_PARAMETER;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (member->cur == ACTIVE_STATE) {
            return PRECONDITION_NOT_MET;
        }
        std::erase(members_, member);
    }
    try {
        member->ref->detach_context(member->handle);
    } catch (const CORBA::Exception&) {
    }
    return RTC_OK;
}

ReturnCode_t TriggeredExecutionContext::requestAtOnce(Member& m, Request what) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m.requested[static_cast<int>(what)] = true;
    }
    if (what == Request::Deactivate) {
        cycle();  // the deactivated component's neighbours get their cycle too
    } else {
        takeRequests();
        transition(m);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const LifeCycleState wanted = what == Request::Activate ? ACTIVE_STATE : INACTIVE_STATE;
    return !m.lost && m.cur == wanted ? RTC_OK : RTC_ERROR;
}

ReturnCode_t TriggeredExecutionContext::request(RTC::LightweightRTObject_ptr comp, Request what) {
    auto m = findMember(comp);
    if (!m) {
        return BAD_PARAMETER;
    }
    static constexpr LifeCycleState kRequired[] = {INACTIVE_STATE, ACTIVE_STATE, ERROR_STATE};
    const int r = static_cast<int>(what);
    const LifeCycleState required = kRequired[r];
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (m->cur != required) {
            return PRECONDITION_NOT_MET;
        }
    }
    if (kind_ == Kind::Simulator && !onCycleThread()) {
        std::lock_guard<std::mutex> tickLock(tickMutex_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (m->cur != required) {
                return PRECONDITION_NOT_MET;  // a tick got there first
            }
        }
        return requestAtOnce(*m, what);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    m->requested[r] = true;
    if (kind_ == Kind::ExtTrig) {
        wake_ = true;
    }
    cv_.notify_all();
    // A callback cannot wait for the cycle it runs in.
    if (!syncTransition_[r] || onCycleThread()) {
        return RTC_OK;
    }
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(transitionTimeout_[r]));
    cv_.wait_until(lock, deadline, [&] { return m->cur != required || m->lost; });
    if (what == Request::Activate) {
        return m->cur == ACTIVE_STATE  ? RTC_OK
               : m->cur == ERROR_STATE ? PRECONDITION_NOT_MET
                                       : RTC_ERROR;
    }
    return m->cur == INACTIVE_STATE ? RTC_OK : RTC_ERROR;
}

ReturnCode_t TriggeredExecutionContext::activate_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Activate);
}

ReturnCode_t TriggeredExecutionContext::deactivate_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Deactivate);
}

ReturnCode_t TriggeredExecutionContext::reset_component(RTC::LightweightRTObject_ptr comp) {
    return request(comp, Request::Reset);
}

LifeCycleState TriggeredExecutionContext::get_component_state(RTC::LightweightRTObject_ptr comp) {
    auto m = findMember(comp);
    if (!m) {
        return CREATED_STATE;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return m->cur;
}

ExecutionKind TriggeredExecutionContext::get_kind() {
    return PERIODIC;
}

ExecutionContextProfile* TriggeredExecutionContext::get_profile() {
    auto* profile = new ExecutionContextProfile();
    std::vector<MemberPtr> members;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        profile->kind = PERIODIC;
        profile->rate = rate_;
        profile->owner = RTC::RTObject::_duplicate(owner_.in());
        members = members_;
    }
    rtc::appendString(profile->properties, "type", typeName());
    rtc::appendString(profile->properties, "rate", props_.getProperty("periodic.rate", "1000"));
    rtc::appendString(profile->properties, "sync_transition",
                      props_.getProperty("sync_transition", "YES"));
    rtc::appendString(profile->properties, "transition_timeout",
                      props_.getProperty("transition_timeout", "0.5"));
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
