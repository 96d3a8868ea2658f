// The trace: with $MACSIM_TRACE=FILE every change of the window server is appended to FILE as one
// JSON object a line, with the time on the front end's clock, and the process's exit status last.
#include <macsim/NoDestructor.h>
#include <macsim/WindowServer.h>

#include "JsonText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace macsim {

namespace {

class Trace : public ChangeObserver {
public:
    explicit Trace(int fd) : fd_(fd) {}

    void changed(const Change& change) override {
        if (change.json.size() < 2 || change.json.front() != '{')
            return;
        std::string line = "{\"t\":" + jsontext::seconds(WindowServer::shared().now()) + ",";
        line.append(change.json, 1);
        line += '\n';
        // One write a line on a file opened for appending: lines of processes sharing the file
        // never interleave.
        const char* data = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, data, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            data += n;
            left -= static_cast<std::size_t>(n);
        }
    }

private:
    int fd_;
};

void reportExit(int status, void*) {
    WindowServer::shared().processExit(status);
}

// Runs when the platform library is loaded, before main: even a main that fails at once is
// traced. The server is made before on_exit is registered, so it is still there when the exit
// handler runs.
__attribute__((constructor)) void openTrace() {
    WindowServer& server = WindowServer::shared();
    const char* path = std::getenv("MACSIM_TRACE");
    if (path && *path) {
        const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "macsim: cannot open the trace file %s\n", path);
        } else {
            static NoDestructor<Trace> trace(fd);
            server.addObserver(trace.get());
        }
    }
    ::on_exit(reportExit, nullptr);
}

} // namespace

} // namespace macsim
