#include "rtc/naming_manager.hpp"

#include "rtc/string_util.hpp"

#include <unistd.h>
#include <cstdlib>
#include <ostream>

namespace rtc {

std::string formatName(const std::string& format, const coil::Properties& props) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char k = format[++i];
            std::string instance = props.getProperty("instance_name");
            std::string impl = props.getProperty("implementation_id");
            switch (k) {
                case 'n':
                    out += instance;
                    break;
                case 't':
                case 'm':
                    out += props.getProperty("type_name");
                    break;
                case 'v':
                    out += props.getProperty("version");
                    break;
                case 'V':
                    out += props.getProperty("vendor");
                    break;
                case 'c':
                    out += props.getProperty("category");
                    break;
                case 'i':
                    out += impl;
                    break;
                case 'N':
                    out += instance.rfind(impl, 0) == 0 ? instance.substr(impl.size()) : instance;
                    break;
                case 'h':
                    out += props.getProperty("os.hostname");
                    break;
                case 'M':
                    out += props.getProperty("manager.instance_name");
                    break;
                case 'p':
                    out += std::to_string(::getpid());
                    break;
                case '%':
                    out += '%';
                    break;
                default:
                    out += '%';
                    out += k;
            }
            continue;
        }
        if (c == '$' && i + 1 < format.size() && (format[i + 1] == '{' || format[i + 1] == '(')) {
            char close = format[i + 1] == '{' ? '}' : ')';
            auto end = format.find(close, i + 2);
            if (end != std::string::npos) {
                const char* value = std::getenv(format.substr(i + 2, end - i - 2).c_str());
                out += value != nullptr ? value : "";
                i = end;
                continue;
            }
        }
        out += c;
    }
    return out;
}

CosNaming::Name toCosName(const std::string& path) {
    auto parts = split(path, '/');
    CosNaming::Name name;
    name.length(static_cast<CORBA::ULong>(parts.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        auto dot = parts[i].rfind('.');
        std::string id = dot == std::string::npos ? parts[i] : parts[i].substr(0, dot);
        std::string kind = dot == std::string::npos ? "" : parts[i].substr(dot + 1);
        name[static_cast<CORBA::ULong>(i)].id = id.c_str();
        name[static_cast<CORBA::ULong>(i)].kind = kind.c_str();
    }
    return name;
}

std::string fromCosName(const CosNaming::Name& name) {
    std::string out;
    for (CORBA::ULong i = 0; i < name.length(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += static_cast<const char*>(name[i].id);
        std::string kind = static_cast<const char*>(name[i].kind);
        if (!kind.empty()) {
            out += "." + kind;
        }
    }
    return out;
}

std::string withNamingPort(const std::string& address) {
    return address.find(':') == std::string::npos ? address + ":2809" : address;
}

CosNaming::NamingContext_ptr namingRootAt(CORBA::ORB_ptr orb, const std::string& address) {
    try {
        CORBA::Object_var obj =
            orb->string_to_object(("corbaloc::" + address + "/NameService").c_str());
        return CosNaming::NamingContext::_narrow(obj.in());
    } catch (const CORBA::Exception&) {
        return CosNaming::NamingContext::_nil();
    }
}

NamingManager::NamingManager(CORBA::ORB_ptr orb, std::ostream& log)
    : orb_(CORBA::ORB::_duplicate(orb)), log_(log) {}

void NamingManager::setServers(const std::string& servers) {
    std::lock_guard<std::mutex> lock(mutex_);
    servers_.clear();
    for (auto& entry : split(servers, ',')) {
        Server server;
        server.address = withNamingPort(entry);
        servers_.push_back(std::move(server));
    }
}

CosNaming::NamingContext_ptr NamingManager::rootOf(Server& server) {
    if (!CORBA::is_nil(server.root.in())) {
        return CosNaming::NamingContext::_duplicate(server.root.in());
    }
    server.root = namingRootAt(orb_.in(), server.address);
    if (CORBA::is_nil(server.root.in()) && !server.reported) {
        server.reported = true;
        log_ << "naming service at " << server.address << " is not reachable; running without it"
             << std::endl;
    }
    return CosNaming::NamingContext::_duplicate(server.root.in());
}

namespace {
// What name resolves to in root: nil when it is not bound. Communication failures raise.
CORBA::Object_ptr resolveOrNil(CosNaming::NamingContext_ptr root, const CosNaming::Name& name) {
    try {
        return root->resolve(name);
    } catch (const CosNaming::NamingContext::NotFound&) {
        return CORBA::Object::_nil();
    }
}

bool isLive(CORBA::Object_ptr obj) {
    try {
        return !obj->_non_existent();
    } catch (const CORBA::TIMEOUT&) {
        return true;  // hung, but still there
    } catch (const CORBA::Exception&) {
        return false;
    }
}
}  // namespace

void NamingManager::warnIfTaken(Server& server, const CosNaming::Name& name,
                                const std::string& path, CORBA::Object_ptr obj) {
    try {
        CORBA::Object_var current = resolveOrNil(server.root.in(), name);
        if (!CORBA::is_nil(current.in()) && !current->_is_equivalent(obj) && isLive(current.in())) {
            log_ << "warning: " << path << " in the naming service at " << server.address
                 << " named another running object; it now names this one" << std::endl;
        }
    } catch (const CORBA::Exception&) {
        // A name that cannot be resolved is not taken; the bind itself reports failures.
    }
}

bool NamingManager::bindIn(Server& server, const CosNaming::Name& name, const std::string& path,
                           CORBA::Object_ptr obj) {
    CosNaming::NamingContext_var ctx = rootOf(server);
    if (CORBA::is_nil(ctx.in())) {
        return false;
    }
    try {
        for (CORBA::ULong i = 0; i + 1 < name.length(); ++i) {
            CosNaming::Name sub;
            sub.length(1);
            sub[0] = name[i];
            CosNaming::NamingContext_var next;
            try {
                CORBA::Object_var o = ctx->resolve(sub);
                next = CosNaming::NamingContext::_narrow(o.in());
            } catch (const CosNaming::NamingContext::NotFound&) {
                next = ctx->bind_new_context(sub);
            }
            ctx = next._retn();
        }
        CosNaming::Name last;
        last.length(1);
        last[0] = name[name.length() - 1];
        ctx->rebind(last, obj);
        return true;
    } catch (const CORBA::Exception&) {
        if (!server.reported) {
            server.reported = true;
            log_ << "naming service at " << server.address << " refused to bind " << path
                 << std::endl;
        }
        server.root = CosNaming::NamingContext::_nil();
        return false;
    }
}

bool NamingManager::bind(const std::string& path, CORBA::Object_ptr obj) {
    CosNaming::Name name = toCosName(path);
    if (name.length() == 0) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    bool any = false;
    for (auto& server : servers_) {
        CosNaming::NamingContext_var root = rootOf(server);
        if (!CORBA::is_nil(root.in())) {
            warnIfTaken(server, name, path, obj);
        }
        any = bindIn(server, name, path, obj) || any;
    }
    return any;
}

void NamingManager::update(const std::vector<std::pair<std::string, CORBA::Object_var>>& bindings,
                           bool rebindAll) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& server : servers_) {
        if (CORBA::is_nil(server.root.in())) {
            // Not reachable so far: one that answers now gets every binding.
            CosNaming::NamingContext_var root = rootOf(server);
            if (CORBA::is_nil(root.in())) {
                continue;
            }
            bool all = true;
            for (const auto& [path, obj] : bindings) {
                all = bindIn(server, toCosName(path), path, obj.in()) && all;
            }
            if (all) {
                server.reported = false;
                log_ << "naming service at " << server.address << " is reachable; names bound"
                     << std::endl;
            }
            continue;
        }
        // Reachable before: a server restarted on a fresh store has lost our names. A name
        // that another object holds now is left to it.
        for (const auto& [path, obj] : bindings) {
            CosNaming::Name name = toCosName(path);
            bool missing = false;
            try {
                CORBA::Object_var current = resolveOrNil(server.root.in(), name);
                missing = CORBA::is_nil(current.in());
            } catch (const CORBA::Exception&) {
                // Gone (again): report it once and treat it as unreachable from now on.
                server.root = CosNaming::NamingContext::_nil();
                if (!server.reported) {
                    server.reported = true;
                    log_ << "naming service at " << server.address
                         << " is not reachable; names will be bound again when it is" << std::endl;
                }
                break;
            }
            if ((missing || rebindAll) && bindIn(server, name, path, obj.in()) && missing) {
                log_ << "naming service at " << server.address << " had lost " << path
                     << "; bound again" << std::endl;
            }
        }
    }
}

void NamingManager::unbind(const std::string& path, CORBA::Object_ptr obj) {
    CosNaming::Name name = toCosName(path);
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& server : servers_) {
        if (CORBA::is_nil(server.root.in())) {
            continue;
        }
        try {
            // Another process may have taken the name since; that entry is not ours.
            CORBA::Object_var current = resolveOrNil(server.root.in(), name);
            if (!CORBA::is_nil(current.in()) && current->_is_equivalent(obj)) {
                server.root->unbind(name);
            }
        } catch (const CORBA::Exception&) {
        }
    }
}

}  // namespace rtc
