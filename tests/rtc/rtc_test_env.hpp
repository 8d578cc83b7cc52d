#pragma once
// What the integration tests start for themselves: a naming service on 127.0.0.1 on a
// free port with its own data directory, and peer processes, all stopped by process id.

#include "rtc/idl/DataPort.hh"
#include "rtc/idl/OpenRTM.hh"
#include "tests/rtc/idl/RtcTest.hh"

#include <omniORB4/Naming.hh>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace rtctest {

int freePort();
std::string hostName();
std::string makeTempDir();
// The test process's own ORB, bound to 127.0.0.1, initialised once.
CORBA::ORB_ptr orb();
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class Process {
  public:
    Process() = default;
    Process(const std::string& path, const std::vector<std::string>& args,
            const std::string& logFile);
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // SIGTERM, then SIGKILL after timeout. Returns the exit status.
    int stop(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void kill9();

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;  // running() collected the exit status already
    int status_ = 0;
};

class NameServer {
  public:
    NameServer();
    explicit NameServer(int port);
    ~NameServer();
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    CosNaming::NamingContext_ptr root();

  private:
    int port_;
    std::string dir_;
    Process process_;
};

// A peer component process: rtc_test_peer with the given instance name and options,
// using the naming service at nsAddress.
Process startPeerAt(const std::string& nsAddress, const std::string& instance,
                    const std::vector<std::string>& extraOptions, const std::string& logDir);
// The same with ns's address, or an address where nothing listens when ns is null.
Process startPeer(const NameServer* ns, const std::string& instance,
                  const std::vector<std::string>& extraOptions, const std::string& logDir);

// Runs a shell command; its exit code and its standard output and error together.
std::pair<int, std::string> runCommand(const std::string& command);

RTC::RTObject_ptr resolveComponent(NameServer& ns, const std::string& instance,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
RTC::PortService_ptr findPort(RTC::RTObject_ptr comp, const std::string& shortName);
RtcTest::Probe_ptr probeOf(RTC::RTObject_ptr comp);
RTC::ExecutionContextService_ptr ownedContext(RTC::RTObject_ptr comp);
std::string stringProperty(const SDOPackage::NVList& list, const std::string& name);
RTC::ReturnCode_t connectPorts(const std::vector<RTC::PortService_ptr>& ports,
                               const std::vector<std::pair<std::string, std::string>>& props,
                               RTC::ConnectorProfile& out);

}  // namespace rtctest
