// vostrel-ctl: inspect, connect, activate and configure RT-components registered on a
// CORBA naming service, for users without the framework's own tools.
//
//   vostrel-ctl [--ns HOST:PORT] ls
//   vostrel-ctl cat host.host_cxt/Name0.rtc
//   vostrel-ctl connect Name0.out Name1.in [subscription_type=new ...] [--force]
//   vostrel-ctl disconnect Name0.out Name1.in
//   vostrel-ctl activate|deactivate|reset Name0
//   vostrel-ctl conf get Name0 [SET]
//   vostrel-ctl conf set Name0 KEY VALUE [--set SET] [--add] [--force]
//   vostrel-ctl tick Name0 [N]            (a triggered execution context)
//   vostrel-ctl attach Owner0 Participant0
//
// A component is named by its path in the naming service (the ".rtc" may be left out) or
// by its bare instance name, which is searched for in the whole tree. A port is the
// component followed by ".port" (or ":port").

#include "app/ctl_refusal.hpp"
#include "rtc/idl/ExtTrigExecutionContextService.hh"
#include "rtc/idl/OpenRTM.hh"
#include "rtc/naming_manager.hpp"
#include "rtc/port_lookup.hpp"

#include <CLI/CLI.hpp>
#include <omniORB4/Naming.hh>

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const char* stateName(RTC::LifeCycleState s) {
    switch (s) {
        case RTC::CREATED_STATE:
            return "CREATED";
        case RTC::INACTIVE_STATE:
            return "INACTIVE";
        case RTC::ACTIVE_STATE:
            return "ACTIVE";
        case RTC::ERROR_STATE:
            return "ERROR";
    }
    return "UNKNOWN";
}

const char* codeName(RTC::ReturnCode_t rc) {
    switch (rc) {
        case RTC::RTC_OK:
            return "RTC_OK";
        case RTC::RTC_ERROR:
            return "RTC_ERROR";
        case RTC::BAD_PARAMETER:
            return "BAD_PARAMETER";
        case RTC::UNSUPPORTED:
            return "UNSUPPORTED";
        case RTC::OUT_OF_RESOURCES:
            return "OUT_OF_RESOURCES";
        case RTC::PRECONDITION_NOT_MET:
            return "PRECONDITION_NOT_MET";
    }
    return "UNKNOWN";
}

std::string anyText(const CORBA::Any& value) {
    const char* s = nullptr;
    if (value >>= s) {
        return s;
    }
    CORBA::Object_var obj;
    if (value >>= CORBA::Any::to_object(obj.out())) {
        return "<objref>";
    }
    return "<non-string>";
}

class Client {
  public:
    Client(CORBA::ORB_ptr orb, const std::string& ns) : orb_(CORBA::ORB::_duplicate(orb)) {
        const std::string address = rtc::withNamingPort(ns);
        root_ = rtc::namingRootAt(orb_.in(), address);
        if (CORBA::is_nil(root_.in())) {
            throw Failure("naming service at " + address + " is not reachable");
        }
    }

    // Every bound name under the root, as "a.host_cxt/B0.rtc".
    std::vector<std::string> list() {
        std::vector<std::string> out;
        walk(root_.in(), "", out);
        return out;
    }

    RTC::RTObject_ptr component(const std::string& what) {
        std::string path = resolvePath(what);
        CORBA::Object_var obj = root_->resolve(rtc::toCosName(path));
        RTC::RTObject_var comp = RTC::RTObject::_narrow(obj.in());
        if (CORBA::is_nil(comp.in())) {
            throw Failure(path + " is not a component");
        }
        return comp._retn();
    }

    RTC::PortService_ptr port(const std::string& what) {
        std::string compSpec;
        std::string portName;
        auto slash = what.rfind('/');
        auto colon = what.find(':', slash == std::string::npos ? 0 : slash);
        if (colon != std::string::npos) {
            compSpec = what.substr(0, colon);
            portName = what.substr(colon + 1);
        } else {
            auto dot = what.rfind('.');
            if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
                throw Failure("no port in " + what + " (write Component.port)");
            }
            compSpec = what.substr(0, dot);
            portName = what.substr(dot + 1);
        }
        RTC::RTObject_var comp = component(compSpec);
        RTC::PortService_var found = rtc::findPort(comp.in(), portName);
        if (!CORBA::is_nil(found.in())) {
            return found._retn();
        }
        throw Failure("no port " + portName + " on " + compSpec);
    }

  private:
    void walk(CosNaming::NamingContext_ptr ctx, const std::string& prefix,
              std::vector<std::string>& out) {
        CosNaming::BindingList_var bindings;
        CosNaming::BindingIterator_var it;
        ctx->list(1000, bindings.out(), it.out());
        for (CORBA::ULong i = 0; i < bindings->length(); ++i) {
            const CosNaming::Binding& b = bindings[i];
            std::string path = prefix + rtc::fromCosName(b.binding_name);
            if (b.binding_type == CosNaming::ncontext) {
                try {
                    CORBA::Object_var obj = ctx->resolve(b.binding_name);
                    CosNaming::NamingContext_var sub = CosNaming::NamingContext::_narrow(obj.in());
                    walk(sub.in(), path + "/", out);
                } catch (const CORBA::Exception&) {
                    out.push_back(path + "/");
                }
            } else {
                out.push_back(path);
            }
        }
        if (!CORBA::is_nil(it.in())) {
            it->destroy();
        }
    }

    std::string resolvePath(const std::string& what) {
        std::string path = what;
        if (path.size() < 4 || path.compare(path.size() - 4, 4, ".rtc") != 0) {
            path += ".rtc";
        }
        if (path.find('/') != std::string::npos) {
            return path;
        }
        std::vector<std::string> matches;
        for (const auto& entry : list()) {
            auto slash = entry.rfind('/');
            if ((slash == std::string::npos ? entry : entry.substr(slash + 1)) == path) {
                matches.push_back(entry);
            }
        }
        if (matches.empty()) {
            throw Failure("no component " + what + " on the naming service");
        }
        if (matches.size() > 1) {
            throw Failure("several components named " + what + "; give the full path");
        }
        return matches.front();
    }

    CORBA::ORB_var orb_;
    CosNaming::NamingContext_var root_;
};

RTC::ExecutionContext_ptr context0(RTC::RTObject_ptr comp) {
    RTC::ExecutionContextList_var ecs = comp->get_owned_contexts();
    if (ecs->length() == 0) {
        throw Failure("the component owns no execution context");
    }
    return RTC::ExecutionContext::_duplicate(ecs[0].in());
}

int cmdLs(Client& client) {
    const std::vector<std::string> paths = client.list();
    if (paths.empty()) {
        std::cout << "(the naming service holds no names)\n";
    }
    for (const auto& path : paths) {
        std::cout << path;
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".rtc") == 0) {
            try {
                RTC::RTObject_var comp = client.component(path);
                RTC::ExecutionContext_var ec = context0(comp.in());
                std::cout << "  " << stateName(ec->get_component_state(comp.in()));
            } catch (const CORBA::Exception&) {
                std::cout << "  (unreachable)";
            } catch (const Failure&) {
                std::cout << "  (unreachable)";
            }
        }
        std::cout << '\n';
    }
    return 0;
}

void printProperties(const SDOPackage::NVList& list, const std::string& indent) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        std::cout << indent << static_cast<const char*>(list[i].name) << " = "
                  << anyText(list[i].value) << '\n';
    }
}

std::string portNames(const RTC::PortServiceList& ports) {
    std::string out;
    for (CORBA::ULong i = 0; i < ports.length(); ++i) {
        std::string name = "<unreachable>";
        try {
            RTC::PortProfile_var pp = ports[i]->get_port_profile();
            name = static_cast<const char*>(pp->name);
        } catch (const CORBA::Exception&) {
        }
        out += (i > 0 ? " " : "") + name;
    }
    return out;
}

int cmdCat(Client& client, const std::string& what) {
    RTC::RTObject_var comp = client.component(what);
    RTC::ComponentProfile_var p = comp->get_component_profile();
    std::cout << "instance_name : " << p->instance_name << "\n"
              << "type_name     : " << p->type_name << "\n"
              << "description   : " << p->description << "\n"
              << "version       : " << p->version << "\n"
              << "vendor        : " << p->vendor << "\n"
              << "category      : " << p->category << "\n"
              << "properties    :\n";
    printProperties(p->properties, "  ");
    std::cout << "ports         :\n";
    for (CORBA::ULong i = 0; i < p->port_profiles.length(); ++i) {
        const RTC::PortProfile& pp = p->port_profiles[i];
        std::cout << "  " << pp.name << "\n";
        for (CORBA::ULong j = 0; j < pp.interfaces.length(); ++j) {
            std::cout << "    interface " << pp.interfaces[j].instance_name << " : "
                      << pp.interfaces[j].type_name
                      << (pp.interfaces[j].polarity == RTC::PROVIDED ? " (provided)"
                                                                     : " (required)")
                      << "\n";
        }
        printProperties(pp.properties, "    ");
        for (CORBA::ULong j = 0; j < pp.connector_profiles.length(); ++j) {
            const RTC::ConnectorProfile& c = pp.connector_profiles[j];
            std::cout << "    connection " << c.connector_id << " (" << c.name << ")\n"
                      << "      ports : " << portNames(c.ports) << "\n";
            printProperties(c.properties, "      ");
        }
    }
    RTC::ExecutionContextList_var ecs = comp->get_owned_contexts();
    for (CORBA::ULong i = 0; i < ecs->length(); ++i) {
        std::cout << "execution context " << i << " : "
                  << stateName(ecs[i]->get_component_state(comp.in())) << ", rate "
                  << ecs[i]->get_rate() << " Hz, " << (ecs[i]->is_running() ? "running" : "stopped")
                  << "\n";
    }
    SDOPackage::Configuration_var conf = comp->get_configuration();
    SDOPackage::ConfigurationSetList_var sets = conf->get_configuration_sets();
    std::string active;
    try {
        SDOPackage::ConfigurationSet_var a = conf->get_active_configuration_set();
        active = static_cast<const char*>(a->id);
    } catch (const CORBA::Exception&) {
    }
    for (CORBA::ULong i = 0; i < sets->length(); ++i) {
        std::string id = static_cast<const char*>(sets[i].id);
        std::cout << "configuration set " << id << (id == active ? " [active]" : "") << "\n";
        printProperties(sets[i].configuration_data, "  ");
    }
    return 0;
}

int cmdConnect(Client& client, const std::string& a, const std::string& b,
               const std::vector<std::string>& options, const std::string& name, bool force) {
    RTC::PortService_var pa = client.port(a);
    RTC::PortService_var pb = client.port(b);
    if (!force) {
        RTC::PortProfile_var profA = pa->get_port_profile();
        RTC::PortProfile_var profB = pb->get_port_profile();
        const std::string why = ctl::portMismatch(profA.in(), profB.in());
        if (!why.empty()) {
            throw Failure("not connected: " + why + " (--force connects them anyway)");
        }
    }
    std::map<std::string, std::string> props{{"dataport.dataflow_type", "push"},
                                             {"dataport.interface_type", "corba_cdr"},
                                             {"dataport.subscription_type", "flush"}};
    for (const auto& opt : options) {
        auto eq = opt.find('=');
        if (eq == std::string::npos) {
            throw Failure("connector option " + opt + " is not key=value");
        }
        std::string key = opt.substr(0, eq);
        if (key.rfind("dataport.", 0) != 0 && key.rfind("port.", 0) != 0) {
            key = "dataport." + key;
        }
        props[key] = opt.substr(eq + 1);
    }
    RTC::PortProfile_var profA = pa->get_port_profile();
    std::string dataType;
    for (CORBA::ULong i = 0; i < profA->properties.length(); ++i) {
        if (std::string("dataport.data_type") ==
            static_cast<const char*>(profA->properties[i].name)) {
            dataType = anyText(profA->properties[i].value);
        }
    }
    if (dataType.empty()) {
        // Service ports carry no data-port options.
        props.clear();
        for (const auto& opt : options) {
            auto eq = opt.find('=');
            props[opt.substr(0, eq)] = opt.substr(eq + 1);
        }
    } else if (!props.count("dataport.data_type")) {
        props["dataport.data_type"] = dataType;
    }
    RTC::ConnectorProfile prof;
    prof.name = name.empty() ? (a + "_" + b).c_str() : name.c_str();
    prof.connector_id = "";
    prof.ports.length(2);
    prof.ports[0] = RTC::PortService::_duplicate(pa.in());
    prof.ports[1] = RTC::PortService::_duplicate(pb.in());
    for (const auto& [k, v] : props) {
        CORBA::ULong n = prof.properties.length();
        prof.properties.length(n + 1);
        prof.properties[n].name = k.c_str();
        prof.properties[n].value <<= v.c_str();
    }
    RTC::ReturnCode_t rc = pa->connect(prof);
    if (rc != RTC::RTC_OK) {
        std::cerr << "connect failed: " << codeName(rc) << "\n";
        return 1;
    }
    std::cout << prof.connector_id << "\n";
    return 0;
}

int cmdDisconnect(Client& client, const std::string& a, const std::string& b) {
    RTC::PortService_var pa = client.port(a);
    RTC::PortService_var pb = client.port(b);
    RTC::ConnectorProfileList_var list = pa->get_connector_profiles();
    int count = 0;
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        bool withB = false;
        for (CORBA::ULong j = 0; j < list[i].ports.length(); ++j) {
            withB = withB || list[i].ports[j]->_is_equivalent(pb.in());
        }
        if (withB) {
            RTC::ReturnCode_t rc = pa->disconnect(list[i].connector_id);
            std::cout << list[i].connector_id << " " << codeName(rc) << "\n";
            ++count;
        }
    }
    if (count == 0) {
        std::cerr << "no connection between " << a << " and " << b << "\n";
        return 1;
    }
    return 0;
}

int cmdState(Client& client, const std::string& target, const std::string& what) {
    RTC::RTObject_var comp = client.component(target);
    RTC::ExecutionContext_var ec = context0(comp.in());
    const RTC::LifeCycleState before = ec->get_component_state(comp.in());
    RTC::ReturnCode_t rc = what == "activate"     ? ec->activate_component(comp.in())
                           : what == "deactivate" ? ec->deactivate_component(comp.in())
                                                  : ec->reset_component(comp.in());
    if (rc == RTC::PRECONDITION_NOT_MET) {
        std::cerr << "vostrel-ctl: cannot " << what << " " << target << ": "
                  << ctl::transitionRefusal(what, stateName(before)) << " (" << codeName(rc)
                  << ")\n";
        return 1;
    }
    std::cout << codeName(rc) << "\n";
    return rc == RTC::RTC_OK ? 0 : 1;
}

// tick: N cycles of the component's own context; attach: the participant joins the owner's.
int cmdTrigger(Client& client, const std::string& target, const std::string& other, int ticks) {
    RTC::RTObject_var comp = client.component(target);
    RTC::ExecutionContext_var ec = context0(comp.in());
    if (!other.empty()) {
        RTC::RTObject_var participant = client.component(other);
        RTC::ReturnCode_t rc = ec->add_component(participant.in());
        std::cout << codeName(rc) << "\n";
        return rc == RTC::RTC_OK ? 0 : 1;
    }
    OpenRTM::ExtTrigExecutionContextService_var triggered =
        OpenRTM::ExtTrigExecutionContextService::_narrow(ec.in());
    if (CORBA::is_nil(triggered.in())) {
        throw Failure(target + " runs on its own timer (exec_cxt.periodic.type), not by ticks");
    }
    for (int i = 0; i < ticks; ++i) triggered->tick();
    return 0;
}

int cmdConfGet(Client& client, const std::string& what, const std::string& setId) {
    RTC::RTObject_var comp = client.component(what);
    SDOPackage::Configuration_var conf = comp->get_configuration();
    SDOPackage::ConfigurationSet_var set;
    try {
        set = setId.empty() ? conf->get_active_configuration_set()
                            : conf->get_configuration_set(setId.c_str());
    } catch (const CORBA::UserException&) {
        throw Failure(what + " has no configuration set \"" + setId +
                      "\"; its sets are: " + ctl::setNames(conf.in()));
    }
    for (CORBA::ULong i = 0; i < set->configuration_data.length(); ++i) {
        std::cout << set->configuration_data[i].name << " = "
                  << anyText(set->configuration_data[i].value) << "\n";
    }
    return 0;
}

int cmdConfSet(Client& client, const std::string& what, const std::string& key,
               const std::string& value, std::string setId, bool add, bool force) {
    RTC::RTObject_var comp = client.component(what);
    SDOPackage::Configuration_var conf = comp->get_configuration();
    if (setId.empty()) {
        SDOPackage::ConfigurationSet_var active = conf->get_active_configuration_set();
        setId = static_cast<const char*>(active->id);
    }
    const std::string why = ctl::parameterRefusal(conf.in(), setId, key, value, add, force);
    if (!why.empty()) {
        throw Failure(what + ": " + why);
    }
    SDOPackage::ConfigurationSet set;
    set.id = setId.c_str();
    set.description = "";
    set.configuration_data.length(1);
    set.configuration_data[0].name = key.c_str();
    set.configuration_data[0].value <<= value.c_str();
    if (!conf->set_configuration_set_values(set) ||
        !conf->activate_configuration_set(setId.c_str())) {
        std::cerr << "configuration refused\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Inspect, connect, activate and configure RT-components on a naming service"};
    app.require_subcommand(1);
    std::string ns = "localhost:2809";
    app.add_option("--ns", ns, "naming service HOST:PORT");

    auto* ls = app.add_subcommand("ls", "list the naming tree with component states");
    std::string target;
    auto* cat =
        app.add_subcommand("cat", "profile, ports and connections, context state, configuration");
    cat->add_option("component", target)->required();
    std::string portA;
    std::string portB;
    std::vector<std::string> options;
    std::string connName;
    auto* connect = app.add_subcommand("connect", "connect two ports");
    connect->add_option("port1", portA)->required();
    connect->add_option("port2", portB)->required();
    connect->add_option("options", options, "key=value connector options");
    connect->add_option("--name", connName, "connector name");
    bool force = false;
    connect->add_flag("--force", force,
                      "connect even ports whose directions or data types do not match");
    auto* disconnect = app.add_subcommand("disconnect", "disconnect two ports");
    disconnect->add_option("port1", portA)->required();
    disconnect->add_option("port2", portB)->required();
    std::vector<CLI::App*> stateCmds;
    for (const char* name : {"activate", "deactivate", "reset"}) {
        auto* cmd =
            app.add_subcommand(name, std::string(name) + " a component in its execution context");
        cmd->add_option("component", target)->required();
        stateCmds.push_back(cmd);
    }
    auto* conf = app.add_subcommand("conf", "configuration sets");
    conf->require_subcommand(1);
    std::string setId;
    auto* confGet =
        conf->add_subcommand("get", "show a configuration set (the active one by default)");
    confGet->add_option("component", target)->required();
    confGet->add_option("set", setId);
    std::string key;
    std::string value;
    auto* confSet = conf->add_subcommand("set", "change a parameter and activate its set");
    confSet->add_option("component", target)->required();
    confSet->add_option("key", key)->required();
    confSet->add_option("value", value)->required();
    confSet->add_option("--set", setId, "configuration set (the active one by default)");
    bool add = false;
    confSet->add_flag("--add", add, "create a parameter that the component does not have");
    confSet->add_flag("--force", force,
                      "set a value outside the range the component publishes for it");

    int ticks = 1;
    std::string participant;
    auto* tick = app.add_subcommand("tick", "run N cycles of a component's triggered context");
    tick->add_option("component", target)->required();
    tick->add_option("count", ticks, "cycles (default 1)")->check(CLI::NonNegativeNumber);
    auto* attach = app.add_subcommand("attach", "add a participant to the owner's context");
    attach->add_option("owner", target)->required();
    attach->add_option("participant", participant)->required();

    CLI11_PARSE(app, argc, argv);

    int orbArgc = 3;
    const char* orbArgv[] = {"vostrel-ctl", "-ORBclientCallTimeOutPeriod", "5000", nullptr};
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, const_cast<char**>(orbArgv));
    int rc = 1;
    try {
        Client client(orb.in(), ns);
        if (ls->parsed()) {
            rc = cmdLs(client);
        } else if (cat->parsed()) {
            rc = cmdCat(client, target);
        } else if (connect->parsed()) {
            rc = cmdConnect(client, portA, portB, options, connName, force);
        } else if (disconnect->parsed()) {
            rc = cmdDisconnect(client, portA, portB);
        } else if (confGet->parsed()) {
            rc = cmdConfGet(client, target, setId);
        } else if (tick->parsed() || attach->parsed()) {
            rc = cmdTrigger(client, target, participant, ticks);
        } else if (confSet->parsed()) {
            rc = cmdConfSet(client, target, key, value, setId, add, force);
        } else {
            for (auto* cmd : stateCmds) {
                if (cmd->parsed()) {
                    rc = cmdState(client, target, cmd->get_name());
                }
            }
        }
    } catch (const Failure& e) {
        std::cerr << "vostrel-ctl: " << e.what() << "\n";
    } catch (const CosNaming::NamingContext::NotFound&) {
        std::cerr << "vostrel-ctl: not found on the naming service\n";
    } catch (const CORBA::SystemException& e) {
        std::cerr << "vostrel-ctl: CORBA " << e._name() << "\n";
    } catch (const CORBA::Exception& e) {
        std::cerr << "vostrel-ctl: " << e._name() << "\n";
    }
    orb->destroy();
    return rc;
}
