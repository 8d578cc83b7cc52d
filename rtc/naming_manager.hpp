#pragma once
// Binding components in CORBA naming services. A server that cannot be reached is
// reported once and skipped: the component runs without it.

#include "rtc/properties.hpp"

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace rtc {

// Expands %n %t %m %v %V %c %i %N %h %M %p %% and ${VAR} / $(VAR) in a name format.
std::string formatName(const std::string& format, const coil::Properties& props);
// "a.host_cxt/B0.rtc" -> {a, host_cxt}, {B0, rtc}; the kind follows the last dot.
CosNaming::Name toCosName(const std::string& path);
std::string fromCosName(const CosNaming::Name& name);

// A naming service's "host" or "host:port"; the port defaults to 2809.
std::string withNamingPort(const std::string& address);
// The root context of the naming service at "host:port"; nil when it cannot be reached.
CosNaming::NamingContext_ptr namingRootAt(CORBA::ORB_ptr orb, const std::string& address);

class NamingManager {
  public:
    NamingManager(CORBA::ORB_ptr orb, std::ostream& log);

    // "host[:port]" entries, comma separated; the port defaults to 2809.
    void setServers(const std::string& servers);
    // Rebinds obj under path in every reachable server, creating contexts on the way; warns
    // when the name named another running object.
    bool bind(const std::string& path, CORBA::Object_ptr obj);
    // Removes path where it still names obj.
    void unbind(const std::string& path, CORBA::Object_ptr obj);
    // Keep-alive, called periodically by the manager: a server unreachable so far that
    // answers now gets every binding; in the others, names that are missing (a restarted
    // server) are bound again, and with rebindAll every name is bound again.
    void update(const std::vector<std::pair<std::string, CORBA::Object_var>>& bindings,
                bool rebindAll);

  private:
    struct Server {
        std::string address;
        CosNaming::NamingContext_var root;
        bool reported = false;
    };
    CosNaming::NamingContext_ptr rootOf(Server& server);
    void warnIfTaken(Server& server, const CosNaming::Name& name, const std::string& path,
                     CORBA::Object_ptr obj);
    bool bindIn(Server& server, const CosNaming::Name& name, const std::string& path,
                CORBA::Object_ptr obj);

    CORBA::ORB_var orb_;
    std::ostream& log_;
    std::mutex mutex_;  // guards servers_ and log_
    std::vector<Server> servers_;
};

}  // namespace rtc
