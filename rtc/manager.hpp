#pragma once
// The process-wide manager: reads options and rtc.conf, owns the ORB, creates components
// from registered factories, binds them in the naming service and tears everything down
// in order on exit, SIGINT or SIGTERM.

#include "rtc/properties.hpp"

#include <omniORB4/CORBA.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rtc {
class NamingManager;
}

namespace RTC {

class Manager;
class RTObject_impl;

using ModuleInitProc = void (*)(Manager*);
using RtcNewFunc = RTObject_impl* (*)(Manager*);
using RtcDeleteFunc = void (*)(RTObject_impl*);

template <class T>
RTObject_impl* Create(Manager* manager) {
    return new T(manager);
}
// Components are reference-counted servants: dropping ours lets the ORB finish with it.
template <class T>
void Delete(RTObject_impl* rtc);

class Manager {
  public:
    // Parses -f FILE, -o KEY:VALUE, -i, -p PORT (and passes -ORB... options to the ORB).
    // Exits the process if the -f file is missing and -i was not given.
    static Manager* init(int argc, char** argv);
    static Manager& instance();
    static bool isInitialized();

    void setModuleInitProc(ModuleInitProc proc);
    // Starts serving, runs the module-init procedure, then precreate, preconnect and
    // preactivation.
    bool activateManager();
    // no_block = false: returns only after shutdown (signal, or the last component exited).
    void runManager(bool no_block = false);

    bool registerFactory(coil::Properties& profile, RtcNewFunc new_func, RtcDeleteFunc delete_func);
    // "TypeName" or "TypeName?key=value&key=value"; nullptr on failure.
    RTObject_impl* createComponent(const char* comp_args);
    RTObject_impl* getComponent(const char* instance_name);
    std::vector<RTObject_impl*> getComponents();

    // Asks for shutdown from any thread; runManager(false) returns afterwards.
    void terminate();
    // Exits every component, shuts the ORB down and deletes the components. Not from an
    // ORB thread.
    void shutdown();

    CORBA::ORB_ptr getORB();
    PortableServer::POA_ptr getPOA();
    const coil::Properties& getConfig() const { return config_; }

    // Runs task on the manager's worker thread (clean-ups that must not stall the caller).
    void post(std::function<void()> task);
    // Called by a component at the end of exit(): unbinds it, and ends the process's run
    // when it was the last one.
    void componentExited(RTObject_impl* comp);

    ~Manager();
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

  private:
    Manager() = default;
    struct Factory {
        coil::Properties profile;
        RtcNewFunc create;
        RtcDeleteFunc destroy;
    };
    struct Entry {
        RTObject_impl* comp;
        RtcDeleteFunc destroy;
        std::vector<std::string> names;
        bool exited = false;
    };

    void configure(int argc, char** argv);
    void initORB(const std::vector<std::string>& orbArgs);
    void workerLoop();
    void exitComponents();
    // Naming keep-alive, every naming.update.interval seconds: binds the names again where
    // a server was unreachable or has lost them (naming.update.rebind: every time).
    void retryNaming();
    void preconnect();
    void preactivate();
    std::string nextInstanceName(const std::string& typeName);
    void registerNames(Entry& entry);
    CORBA::Object_ptr resolveComponentUrl(const std::string& url, std::string& portPart);

    coil::Properties config_;
    std::vector<std::string> orbArgs_;
    CORBA::ORB_var orb_;
    PortableServer::POA_var poa_;
    std::unique_ptr<rtc::NamingManager> naming_;
    ModuleInitProc initProc_ = nullptr;
    bool blocking_ = false;

    std::mutex mutex_;  // guards factories_, components_, terminate_, tasks_, stopWorker_
    std::condition_variable cv_;
    std::map<std::string, Factory> factories_;
    std::vector<Entry> components_;
    bool terminate_ = false;
    bool shutdownDone_ = false;
    std::deque<std::function<void()>> tasks_;
    bool stopWorker_ = false;
    std::thread worker_;
    std::chrono::steady_clock::time_point lastNamingRetry_ = std::chrono::steady_clock::now();
};

}  // namespace RTC

#include "rtc/rt_object.hpp"

template <class T>
void RTC::Delete(RTObject_impl* rtc) {
    rtc->_remove_ref();
}
