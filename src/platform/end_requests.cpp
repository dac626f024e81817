#include "platform/end_requests.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace zento {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The writing end of the pipe the signal handler tells the event loop through.
volatile sig_atomic_t requestFd = -1;

void Requested(int)
{
    const int saved = errno;
    if (requestFd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(requestFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

EndRequests::EndRequests(std::function<void()> onRequest) : onRequest_(std::move(onRequest))
{
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        fds_[0] = fds_[1] = -1;
        return; // the requests end the program at once, as they always did
    }
    requestFd = fds_[1];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char bytes[16];
        while (::read(fds_[0], bytes, sizeof bytes) > 0) {
        }
        if (onRequest_)
            onRequest_();
    });
    struct sigaction action = {};
    action.sa_handler = Requested;
    sigemptyset(&action.sa_mask);
    // A second request of the same kind is not waited on: the program ends.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    // One the program was told to ignore (nohup, a background job of a
    // script) stays ignored.
    for (const int signal : kSignals) {
        struct sigaction before = {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

EndRequests::~EndRequests()
{
    if (fds_[0] < 0)
        return;
    for (const int signal : kSignals) {
        struct sigaction now = {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == Requested)
            std::signal(signal, SIG_DFL);
    }
    requestFd = -1;
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
}

} // namespace zento
