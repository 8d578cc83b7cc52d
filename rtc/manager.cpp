#include "rtc/manager.hpp"

#include "rtc/file_search.hpp"

#include "rtc/naming_manager.hpp"
#include "rtc/nv_util.hpp"
#include "rtc/periodic_execution_context.hpp"
#include "rtc/port_base.hpp"
#include "rtc/port_lookup.hpp"
#include "rtc/rt_object.hpp"
#include "rtc/rtc_name_url.hpp"
#include "rtc/string_util.hpp"

#include <sys/utsname.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace RTC {

namespace {
Manager* g_manager = nullptr;
std::mutex g_managerMutex;
// Lock-free, so safe to set from the handler and to read from the worker thread.
std::atomic<int> g_signal{0};

extern "C" void onTerminateSignal(int sig) {
    g_signal.store(sig);
}

const char* const kDefaults[] = {
    "corba.nameservers",
    "localhost",
    "corba.id",
    "omniORB",
    "naming.enable",
    "YES",
    "naming.type",
    "corba",
    "naming.formats",
    "%h.host_cxt/%n.rtc",
    "naming.update.enable",
    "YES",
    "naming.update.interval",
    "10.0",
    "naming.update.rebind",
    "NO",
    "exec_cxt.periodic.type",
    "PeriodicExecutionContext",
    "exec_cxt.periodic.rate",
    "1000",
    "exec_cxt.sync_transition",
    "YES",
    "exec_cxt.transition_timeout",
    "0.5",
    "manager.instance_name",
    "manager",
    "manager.components.naming_policy",
    "process_unique",
    "manager.shutdown_on_nortcs",
    "YES",
    "logger.enable",
    "NO",
    "",
};

const char* const kConfigSearch[] = {"./rtc.conf", "/etc/rtc.conf", "/etc/rtc/rtc.conf",
                                     "/usr/local/etc/rtc.conf", "/usr/local/etc/rtc/rtc.conf"};

// Default client call timeout: a peer that hangs costs a writer this long at most.
constexpr CORBA::ULong kClientCallTimeoutMs = 3000;

bool loadFile(const std::string& path, coil::Properties& into) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    into.load(in);
    return true;
}

coil::Properties parseArgs(const std::string& query) {
    coil::Properties props;
    for (const auto& pair : rtc::split(query, '&')) {
        auto eq = pair.find('=');
        if (eq != std::string::npos) {
            props.setProperty(rtc::trim(pair.substr(0, eq)), rtc::trim(pair.substr(eq + 1)));
        }
    }
    return props;
}
}  // namespace

Manager* Manager::init(int argc, char** argv) {
    std::lock_guard<std::mutex> lock(g_managerMutex);
    if (g_manager != nullptr) {
        return g_manager;
    }
    auto* manager = new Manager();
    manager->configure(argc, argv);
    manager->initORB(manager->orbArgs_);
    g_manager = manager;
    manager->worker_ = std::thread([manager] { manager->workerLoop(); });
    std::signal(SIGINT, onTerminateSignal);
    std::signal(SIGTERM, onTerminateSignal);
    return manager;
}

Manager& Manager::instance() {
    std::lock_guard<std::mutex> lock(g_managerMutex);
    if (g_manager == nullptr) {
        throw std::logic_error("RTC::Manager::init() has not been called");
    }
    return *g_manager;
}

bool Manager::isInitialized() {
    std::lock_guard<std::mutex> lock(g_managerMutex);
    return g_manager != nullptr;
}

Manager::~Manager() = default;

void Manager::configure(int argc, char** argv) {
    config_ = coil::Properties(kDefaults);
    std::string file;
    bool ignoreMissing = false;
    std::vector<std::pair<std::string, std::string>> overrides;
    orbArgs_.push_back(argc > 0 ? argv[0] : "rtc");
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-f" && i + 1 < argc) {
            file = argv[++i];
        } else if (arg == "-i") {
            ignoreMissing = true;
        } else if (arg == "-o" && i + 1 < argc) {
            std::string kv = argv[++i];
            auto colon = kv.find(':');
            if (colon != std::string::npos) {
                overrides.emplace_back(rtc::trim(kv.substr(0, colon)),
                                       rtc::trim(kv.substr(colon + 1)));
            }
        } else if (arg == "-p" && i + 1 < argc) {
            overrides.emplace_back("corba.endpoints", std::string(":") + argv[++i]);
        } else if (arg == "-a") {
            overrides.emplace_back("manager.corba_servant", "NO");
        } else if (arg == "-d") {
            overrides.emplace_back("manager.is_master", "YES");
        } else if (arg.rfind("-ORB", 0) == 0 && i + 1 < argc) {
            orbArgs_.push_back(arg);
            orbArgs_.push_back(argv[++i]);
        }
    }

    if (!file.empty()) {
        if (!loadFile(file, config_) && !ignoreMissing) {
            std::cerr << "configuration file " << file << " not found" << std::endl;
            std::exit(1);
        }
        config_.setProperty("config_file", file);
    } else {
        const char* env = std::getenv("RTC_MANAGER_CONFIG");
        std::vector<std::string> candidates;
        if (env != nullptr && *env != '\0') {
            candidates.emplace_back(env);
        }
        candidates.insert(candidates.end(), std::begin(kConfigSearch), std::end(kConfigSearch));
        for (const auto& path : candidates) {
            if (loadFile(path, config_)) {
                config_.setProperty("config_file", path);
                break;
            }
        }
    }

    struct utsname uts {};
    if (::uname(&uts) == 0) {
        config_.setProperty("os.name", uts.sysname);
        config_.setProperty("os.release", uts.release);
        config_.setProperty("os.version", uts.version);
        config_.setProperty("os.arch", uts.machine);
        config_.setProperty("os.hostname", uts.nodename);
    }
    config_.setProperty("manager.pid", std::to_string(::getpid()));
    for (const auto& [key, value] : overrides) {
        config_.setProperty(key, value);
    }

    std::vector<std::string> endpoints = rtc::split(config_.getProperty("corba.endpoints"), ',');
    for (const auto& ep : rtc::split(config_.getProperty("corba.endpoint"), ',')) {
        endpoints.push_back(ep);
    }
    for (const auto& ep : endpoints) {
        orbArgs_.push_back("-ORBendPoint");
        if (rtc::toLower(ep) == "all") {
            orbArgs_.push_back("giop:tcp::");
        } else {
            orbArgs_.push_back("giop:tcp:" + (ep.find(':') == std::string::npos ? ep + ":" : ep));
        }
    }
    std::istringstream extra(config_.getProperty("corba.args"));
    std::string token;
    while (extra >> token) {
        orbArgs_.push_back(token);
    }
}

void Manager::initORB(const std::vector<std::string>& orbArgs) {
    std::vector<char*> argv;
    static std::vector<std::string> storage;  // the ORB may keep pointers into argv
    storage = orbArgs;
    for (auto& a : storage) {
        argv.push_back(a.data());
    }
    int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);
    orb_ = CORBA::ORB_init(argc, argv.data());
    if (config_.getProperty("corba.args").find("clientCallTimeOutPeriod") == std::string::npos) {
        omniORB::setClientCallTimeout(kClientCallTimeoutMs);
    }
    CORBA::Object_var obj = orb_->resolve_initial_references("RootPOA");
    poa_ = PortableServer::POA::_narrow(obj.in());
    if (rtc::isYes(config_.getProperty("naming.enable")) &&
        config_.getProperty("naming.type").find("corba") != std::string::npos) {
        naming_ = std::make_unique<rtc::NamingManager>(orb_.in(), std::cerr);
        naming_->setServers(config_.getProperty("corba.nameservers"));
    }
}

CORBA::ORB_ptr Manager::getORB() {
    return CORBA::ORB::_duplicate(orb_.in());
}

PortableServer::POA_ptr Manager::getPOA() {
    return PortableServer::POA::_duplicate(poa_.in());
}

void Manager::setModuleInitProc(ModuleInitProc proc) {
    initProc_ = proc;
}

bool Manager::activateManager() {
    PortableServer::POAManager_var pm = poa_->the_POAManager();
    pm->activate();
    if (initProc_ != nullptr) {
        initProc_(this);
    }
    for (const auto& args : rtc::split(config_.getProperty("manager.components.precreate"), ',')) {
        if (createComponent(args.c_str()) == nullptr) {
            std::cerr << "cannot create component " << args << std::endl;
        }
    }
    preconnect();
    preactivate();
    return true;
}

void Manager::runManager(bool no_block) {
    if (no_block) {
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex_);
        blocking_ = true;
        cv_.wait(lock, [this] { return terminate_; });
    }
    shutdown();
}

bool Manager::registerFactory(coil::Properties& profile, RtcNewFunc new_func,
                              RtcDeleteFunc delete_func) {
    std::string id = profile.getProperty("implementation_id");
    if (id.empty() || new_func == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    factories_[id] = Factory{profile, new_func, delete_func};
    return true;
}

std::string Manager::nextInstanceName(const std::string& typeName) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int n = 0;; ++n) {
        std::string name = typeName + std::to_string(n);
        bool used = false;
        for (const auto& e : components_) {
            used = used || (!e.exited && e.comp->getInstanceName() == name);
        }
        if (!used) {
            return name;
        }
    }
}

RTObject_impl* Manager::createComponent(const char* comp_args) {
    std::string request = rtc::trim(comp_args != nullptr ? comp_args : "");
    auto q = request.find('?');
    std::string id = request.substr(0, q);
    coil::Properties args =
        q == std::string::npos ? coil::Properties() : parseArgs(request.substr(q + 1));

    Factory factory;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = factories_.find(id);
        if (it == factories_.end()) {
            for (auto& [key, f] : factories_) {
                if (f.profile.getProperty("type_name") == id) {
                    it = factories_.find(key);
                    break;
                }
            }
        }
        if (it == factories_.end()) {
            return nullptr;
        }
        factory = it->second;
    }

    coil::Properties props = factory.profile;
    for (const char* node : {"exec_cxt", "naming", "corba", "os", "logger", "sdo"}) {
        if (const coil::Properties* n = config_.findNode(node)) {
            props.getNode(node) << *n;
        }
    }
    props.setProperty("manager.instance_name", config_.getProperty("manager.instance_name"));
    props << args;

    std::string category = props.getProperty("category");
    std::string typeName = props.getProperty("type_name");
    std::string loaded;
    auto applyLevel = [&](const std::string& key) {
        const coil::Properties* node = config_.findNode(key);
        if (node == nullptr) {
            return;
        }
        std::string file = node->getProperty("config_file");
        if (!file.empty()) {
            // Named relative to the working directory, or else to the rtc.conf naming it.
            std::vector<std::string> tried;
            const std::string found =
                rtc::findFile(file, {rtc::folderOf(config_.getProperty("config_file"))}, tried);
            coil::Properties fromFile;
            if (!found.empty() && loadFile(found, fromFile)) {
                props << fromFile;
                loaded += (loaded.empty() ? "" : ",") + found;
            } else {
                std::cerr << "component configuration file " << file << " not found (looked at "
                          << rtc::listOfPaths(tried) << ")" << std::endl;
            }
        }
        coil::Properties inline_ = *node;
        inline_.removeNode("config_file");
        props << inline_;
    };
    applyLevel(category + "." + typeName);
    std::string instance = props.getProperty("instance_name");
    if (instance.empty()) {
        instance = nextInstanceName(typeName);
    }
    props.setProperty("instance_name", instance);
    applyLevel(category + "." + instance);
    props.setProperty("config_file", loaded);

    RTObject_impl* comp = factory.create(this);
    if (comp == nullptr) {
        return nullptr;
    }
    comp->setProperties(props);
    comp->activateObject();
    Entry entry{comp, factory.destroy, {}, false};
    if (comp->initialize() != RTC_OK) {
        comp->exit();
        std::lock_guard<std::mutex> lock(mutex_);
        entry.exited = true;
        components_.push_back(entry);
        return nullptr;
    }
    registerNames(entry);
    std::lock_guard<std::mutex> lock(mutex_);
    components_.push_back(std::move(entry));
    return comp;
}

void Manager::registerNames(Entry& entry) {
    coil::Properties props = entry.comp->getProperties();
    RTObject_var ref = entry.comp->getObjRef();
    std::string iorFile = props.getProperty("naming.ior_file");
    if (!iorFile.empty()) {
        CORBA::String_var ior = orb_->object_to_string(ref.in());
        std::string path = rtc::formatName(iorFile, props);
        std::ofstream out(path + ".tmp");
        out << ior.in() << '\n';
        out.close();
        std::rename((path + ".tmp").c_str(), path.c_str());
    }
    if (!naming_) {
        return;
    }
    std::string joined;
    for (const auto& format : rtc::split(props.getProperty("naming.formats"), ',')) {
        std::string name = rtc::formatName(format, props);
        naming_->bind(name, ref.in());
        entry.names.push_back(name);
        joined += (joined.empty() ? "" : ",") + name;
    }
    coil::Properties names;
    names.setProperty("naming.names", joined);
    entry.comp->setProperties(names);
}

RTObject_impl* Manager::getComponent(const char* instance_name) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : components_) {
        if (!e.exited && e.comp->getInstanceName() == instance_name) {
            return e.comp;
        }
    }
    return nullptr;
}

std::vector<RTObject_impl*> Manager::getComponents() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RTObject_impl*> out;
    for (const auto& e : components_) {
        if (!e.exited) {
            out.push_back(e.comp);
        }
    }
    return out;
}

void Manager::componentExited(RTObject_impl* comp) {
    std::vector<std::string> names;
    bool last = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& e : components_) {
            if (e.comp == comp) {
                e.exited = true;
                names = e.names;
            }
            last = last && e.exited;
        }
    }
    if (naming_) {
        RTObject_var ref = comp->getObjRef();
        for (const auto& n : names) {
            naming_->unbind(n, ref.in());
        }
    }
    if (last && rtc::isYes(config_.getProperty("manager.shutdown_on_nortcs"))) {
        terminate();
    }
}

void Manager::terminate() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        terminate_ = true;
    }
    cv_.notify_all();
}

void Manager::post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopWorker_) {
            return;
        }
        tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
}

void Manager::workerLoop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(100),
                         [this] { return stopWorker_ || !tasks_.empty(); });
            if (stopWorker_) {
                return;
            }
            if (!tasks_.empty()) {
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
        }
        if (task) {
            try {
                task();
            } catch (...) {
            }
        }
        retryNaming();
        int sig = g_signal.exchange(0);
        if (sig != 0) {
            bool blocking = false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                blocking = blocking_;
            }
            if (blocking) {
                terminate();
            } else {
                // Nobody waits in runManager: leave the naming service and peers clean, then
                // end the way the signal asks.
                exitComponents();
                std::signal(sig, SIG_DFL);
                std::raise(sig);
            }
        }
    }
}

void Manager::retryNaming() {
    if (!naming_ || !rtc::isYes(config_.getProperty("naming.update.enable", "YES"))) {
        return;
    }
    auto now = std::chrono::steady_clock::now();
    double interval =
        std::strtod(config_.getProperty("naming.update.interval", "10.0").c_str(), nullptr);
    if (now - lastNamingRetry_ < std::chrono::duration<double>(interval > 0 ? interval : 10.0)) {
        return;
    }
    lastNamingRetry_ = now;
    std::vector<std::pair<std::string, CORBA::Object_var>> bindings;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& e : components_) {
            if (!e.exited) {
                for (const auto& n : e.names) {
                    bindings.emplace_back(n, CORBA::Object_var(e.comp->getObjRef()));
                }
            }
        }
    }
    naming_->update(bindings, rtc::isYes(config_.getProperty("naming.update.rebind", "NO")));
}

void Manager::exitComponents() {
    for (RTObject_impl* comp : getComponents()) {
        comp->exit();
    }
}

void Manager::shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutdownDone_) {
            return;
        }
        shutdownDone_ = true;
        terminate_ = true;
    }
    exitComponents();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopWorker_ = true;
    }
    cv_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
    orb_->shutdown(true);
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries.swap(components_);
    }
    for (auto& e : entries) {
        if (e.destroy != nullptr) {
            e.destroy(e.comp);
        }
    }
    naming_.reset();
    poa_ = PortableServer::POA::_nil();
    orb_->destroy();
}

CORBA::Object_ptr Manager::resolveComponentUrl(const std::string& url, std::string& portPart) {
    const std::optional<rtc::RtcNameUrl> where = rtc::RtcNameUrl::parse(url);
    if (!where) {
        return CORBA::Object::_nil();
    }
    portPart = where->port;
    CosNaming::NamingContext_var root = rtc::namingRootAt(orb_.in(), where->namingService);
    if (CORBA::is_nil(root.in())) {
        return CORBA::Object::_nil();
    }
    try {
        return root->resolve(rtc::toCosName(where->path));
    } catch (const CORBA::Exception&) {
        return CORBA::Object::_nil();
    }
}

void Manager::preconnect() {
    for (const auto& entry :
         rtc::split(config_.getProperty("manager.components.preconnect"), ',')) {
        auto q = entry.find('?');
        std::vector<std::string> portNames{entry.substr(0, q)};
        coil::Properties params =
            q == std::string::npos ? coil::Properties() : parseArgs(entry.substr(q + 1));
        ConnectorProfile profile;
        profile.name = entry.c_str();
        profile.connector_id = "";
        rtc::appendString(profile.properties, "dataport.dataflow_type", "push");
        rtc::appendString(profile.properties, "dataport.interface_type", "corba_cdr");
        for (const auto& key : params.propertyNames()) {
            if (key.rfind("port", 0) == 0 && key.find('.') == std::string::npos) {
                portNames.push_back(params.getProperty(key));
                continue;
            }
            std::string full = "dataport." + key;
            bool replaced = false;
            for (CORBA::ULong i = 0; i < profile.properties.length(); ++i) {
                if (full == static_cast<const char*>(profile.properties[i].name)) {
                    profile.properties[i].value <<= params.getProperty(key).c_str();
                    replaced = true;
                }
            }
            if (!replaced) {
                rtc::appendString(profile.properties, full, params.getProperty(key));
            }
        }
        bool ok = true;
        for (const auto& name : portNames) {
            RTObject_var rtobj;
            std::string port;
            if (rtc::RtcNameUrl::is(name)) {
                CORBA::Object_var obj = resolveComponentUrl(name, port);
                try {
                    rtobj = RTObject::_narrow(obj.in());
                } catch (const CORBA::Exception&) {
                }
            } else {
                auto dot = name.find('.');
                RTObject_impl* local = getComponent(name.substr(0, dot).c_str());
                port = dot == std::string::npos ? "" : name.substr(dot + 1);
                if (local != nullptr) {
                    rtobj = local->getObjRef();
                }
            }
            PortService_var found;
            if (!CORBA::is_nil(rtobj.in())) {
                try {
                    found = rtc::findPort(rtobj.in(), port);
                } catch (const CORBA::Exception&) {
                }
            }
            if (CORBA::is_nil(found.in())) {
                std::cerr << "preconnect: port " << name << " not found" << std::endl;
                ok = false;
                break;
            }
            CORBA::ULong n = profile.ports.length();
            profile.ports.length(n + 1);
            profile.ports[n] = found._retn();
        }
        if (!ok) {
            continue;
        }
        try {
            ReturnCode_t rc = profile.ports[0]->connect(profile);
            if (rc != RTC_OK) {
                std::cerr << "preconnect: " << entry << " failed (" << rc << ")" << std::endl;
            }
        } catch (const CORBA::Exception&) {
            std::cerr << "preconnect: " << entry << " failed" << std::endl;
        }
    }
}

void Manager::preactivate() {
    for (const auto& name :
         rtc::split(config_.getProperty("manager.components.preactivation"), ',')) {
        RTObject_var rtobj;
        if (rtc::RtcNameUrl::is(name)) {
            std::string port;
            CORBA::Object_var obj = resolveComponentUrl(name, port);
            try {
                rtobj = RTObject::_narrow(obj.in());
            } catch (const CORBA::Exception&) {
            }
        } else if (RTObject_impl* local = getComponent(name.c_str())) {
            rtobj = local->getObjRef();
        }
        bool ok = false;
        if (!CORBA::is_nil(rtobj.in())) {
            try {
                ExecutionContextList_var ecs = rtobj->get_owned_contexts();
                ok = ecs->length() > 0 && ecs[0]->activate_component(rtobj.in()) == RTC_OK;
            } catch (const CORBA::Exception&) {
            }
        }
        if (!ok) {
            std::cerr << "preactivation: cannot activate " << name << std::endl;
        }
    }
}

}  // namespace RTC
