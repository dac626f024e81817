#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace zento {

// The system's requests to end the program: a logout or a shutdown
// (SIGTERM), the terminal it was started from closed (SIGHUP), Ctrl+C in it
// (SIGINT). Each comes to the event loop as a call of onRequest, which ends
// the program in good order. The same request a second time ends it at once,
// as it would without this. One object at a time; it stops catching when it
// goes.
class EndRequests {
public:
    explicit EndRequests(std::function<void()> onRequest);
    ~EndRequests();
    EndRequests(const EndRequests &) = delete;
    EndRequests &operator=(const EndRequests &) = delete;

private:
    std::function<void()> onRequest_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace zento
