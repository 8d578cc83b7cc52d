#include "tests/rtc/rtc_test_env.hpp"

#include "rtc/port_lookup.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace rtctest {

int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    int port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

std::string hostName() {
    char buf[256] = {};
    ::gethostname(buf, sizeof buf - 1);
    return buf;
}

std::string makeTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vostrel-rtc-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return tmpl;
}

CORBA::ORB_ptr orb() {
    static CORBA::ORB_var instance;
    static std::once_flag once;
    std::call_once(once, [] {
        const char* argv[] = {
            "rtc-tests", "-ORBendPoint", "giop:tcp:127.0.0.1:", "-ORBclientCallTimeOutPeriod",
            "5000",      nullptr};
        int argc = 5;
        instance = CORBA::ORB_init(argc, const_cast<char**>(argv));
        CORBA::Object_var obj = instance->resolve_initial_references("RootPOA");
        PortableServer::POA_var poa = PortableServer::POA::_narrow(obj.in());
        PortableServer::POAManager_var pm = poa->the_POAManager();
        pm->activate();
    });
    return CORBA::ORB::_duplicate(instance.in());
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            if (condition()) {
                return true;
            }
        } catch (const CORBA::Exception&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    try {
        return condition();
    } catch (const CORBA::Exception&) {
        return false;
    }
}

Process::Process(const std::string& path, const std::vector<std::string>& args,
                 const std::string& logFile) {
    std::vector<char*> argv;
    std::vector<std::string> storage{path};
    storage.insert(storage.end(), args.begin(), args.end());
    for (auto& s : storage) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
}

Process::~Process() {
    if (pid_ > 0) {
        stop();
    }
}

Process::Process(Process&& other) noexcept
    : pid_(other.pid_), reaped_(other.reaped_), status_(other.status_) {
    other.pid_ = -1;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0) {
            stop();
        }
        pid_ = other.pid_;
        reaped_ = other.reaped_;
        status_ = other.status_;
        other.pid_ = -1;
    }
    return *this;
}

bool Process::running() {
    if (pid_ <= 0 || reaped_) {
        return false;
    }
    if (::waitpid(pid_, &status_, WNOHANG) == 0) {
        return true;
    }
    reaped_ = true;
    return false;
}

int Process::stop(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) {
        return -1;
    }
    if (reaped_) {
        pid_ = -1;
        return status_;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return status;
}

void Process::kill9() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

NameServer::NameServer() : NameServer(freePort()) {}

NameServer::NameServer(int port) : port_(port), dir_(makeTempDir()) {
    std::string text = std::to_string(port_);
    process_ =
        Process("/usr/bin/omniNames",
                {"-start", text, "-datadir", dir_, "-ORBendPoint", "giop:tcp:127.0.0.1:" + text},
                dir_ + "/omniNames.log");
    bool up = waitFor(
        [this] {
            CosNaming::NamingContext_var ctx = root();
            return !CORBA::is_nil(ctx.in());
        },
        std::chrono::seconds(10));
    if (!up) {
        throw std::runtime_error("omniNames did not start");
    }
}

NameServer::~NameServer() {
    process_.stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

CosNaming::NamingContext_ptr NameServer::root() {
    CORBA::ORB_var o = orb();
    CORBA::Object_var obj =
        o->string_to_object(("corbaloc::" + address() + "/NameService").c_str());
    return CosNaming::NamingContext::_narrow(obj.in());
}

Process startPeerAt(const std::string& nsAddress, const std::string& instance,
                    const std::vector<std::string>& extraOptions, const std::string& logDir) {
    std::vector<std::string> args{"--instance", instance,
                                  "-o",         "corba.endpoints:127.0.0.1:",
                                  "-o",         "exec_cxt.periodic.rate:100",
                                  "-o",         "corba.nameservers:" + nsAddress};
    args.insert(args.end(), extraOptions.begin(), extraOptions.end());
    return Process(RTC_TEST_PEER, args, logDir + "/" + instance + ".log");
}

Process startPeer(const NameServer* ns, const std::string& instance,
                  const std::vector<std::string>& extraOptions, const std::string& logDir) {
    return startPeerAt(ns != nullptr ? ns->address() : "127.0.0.1:" + std::to_string(freePort()),
                       instance, extraOptions, logDir);
}

RTC::RTObject_ptr resolveComponent(NameServer& ns, const std::string& instance,
                                   std::chrono::milliseconds timeout) {
    RTC::RTObject_var found;
    waitFor(
        [&] {
            CosNaming::NamingContext_var root = ns.root();
            CosNaming::Name name;
            name.length(2);
            name[0].id = hostName().c_str();
            name[0].kind = "host_cxt";
            name[1].id = instance.c_str();
            name[1].kind = "rtc";
            CORBA::Object_var obj = root->resolve(name);
            found = RTC::RTObject::_narrow(obj.in());
            return !CORBA::is_nil(found.in());
        },
        timeout);
    return found._retn();
}

RTC::PortService_ptr findPort(RTC::RTObject_ptr comp, const std::string& shortName) {
    return rtc::findPort(comp, shortName);
}

std::string stringProperty(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        const char* s = nullptr;
        if (name == static_cast<const char*>(list[i].name) && (list[i].value >>= s)) {
            return s;
        }
    }
    return "<absent>";
}

RtcTest::Probe_ptr probeOf(RTC::RTObject_ptr comp) {
    // A one-port connection is enough to make the service port publish its provider.
    RTC::PortService_var port = findPort(comp, "service");
    RTC::ConnectorProfile prof;
    if (connectPorts({port.in()}, {}, prof) != RTC::RTC_OK) {
        return RtcTest::Probe::_nil();
    }
    std::string ior = stringProperty(prof.properties, "port.RtcTest::Probe.probe");
    port->disconnect(prof.connector_id);
    CORBA::ORB_var o = orb();
    CORBA::Object_var obj = o->string_to_object(ior.c_str());
    return RtcTest::Probe::_narrow(obj.in());
}

RTC::ExecutionContextService_ptr ownedContext(RTC::RTObject_ptr comp) {
    RTC::ExecutionContextList_var ecs = comp->get_owned_contexts();
    return RTC::ExecutionContextService::_narrow(ecs[0].in());
}

RTC::ReturnCode_t connectPorts(const std::vector<RTC::PortService_ptr>& ports,
                               const std::vector<std::pair<std::string, std::string>>& props,
                               RTC::ConnectorProfile& out) {
    RTC::ConnectorProfile prof;
    prof.name = "test";
    prof.connector_id = "";
    prof.ports.length(static_cast<CORBA::ULong>(ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        prof.ports[static_cast<CORBA::ULong>(i)] = RTC::PortService::_duplicate(ports[i]);
    }
    for (const auto& [k, v] : props) {
        CORBA::ULong n = prof.properties.length();
        prof.properties.length(n + 1);
        prof.properties[n].name = k.c_str();
        prof.properties[n].value <<= v.c_str();
    }
    RTC::ReturnCode_t rc = ports[0]->connect(prof);
    out = prof;
    return rc;
}

std::pair<int, std::string> runCommand(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) {
        out.append(buf, n);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace rtctest
