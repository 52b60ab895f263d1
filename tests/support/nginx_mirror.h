#pragma once
// Real nginx mirrors for network tests: one nginx on 127.0.0.1 serves every mirror name as its
// own server block. Clients reach it as a proxy (host 127.0.0.1, port()), sending absolute URLs,
// so nginx picks the mirror by the host in the URL. nginx runs in the foreground as a single
// process with its config, logs and temp files in a private folder, and is stopped by its pid.
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

struct mirror {
    enum class mode {
        serve,       // serve files from the root, at `rate` bytes per second when nonzero
        error_500,   // every request answers 500
        stall,       // every request gets no answer at all
        drop,        // send the head and `after` body bytes, then close the connection
        chunked,     // serve files from the root with chunked bodies, as a re-chunking proxy would
    };
    std::string name;            // the host name clients put in their URLs
    mode behaviour = mode::serve;
    long long rate = 0;
    long long after = 0;
};

class nginx_mirrors {
public:
    // Writes the config and starts nginx; throws std::runtime_error when it cannot be started.
    explicit nginx_mirrors(std::vector<mirror> mirrors);
    ~nginx_mirrors();
    nginx_mirrors(const nginx_mirrors&) = delete;
    nginx_mirrors& operator=(const nginx_mirrors&) = delete;

    unsigned short port() const { return port_; }
    pid_t pid() const { return pid_; }
    const std::string& folder() const { return dir_.path(); }

    // The folder a mirror serves, ending in "/"; tests put their files here.
    std::string root(const std::string& name) const;

    std::string error_log() const;
    std::string access_log() const;

    void stop();

private:
    bool start_once();
    std::string config() const;

    temp_dir dir_;
    std::vector<mirror> mirrors_;
    unsigned short port_ = 0;
    int blackhole_fd_ = -1;         // listens but never accepts: the target of stalled mirrors
    unsigned short blackhole_port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace testsupport
