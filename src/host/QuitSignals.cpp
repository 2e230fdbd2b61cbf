#include "host/QuitSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
std::function<void()> quitAction;
int receivedSignal = 0;

void Forward(int signal)
{
    const char byte = char(signal);
    // Only async-signal-safe work here: the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

void OnQuitSignal(std::function<void()> action)
{
    quitAction = std::move(action);
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        if (::read(signalPipe[1], &byte, 1) != 1)
            return;
        if (receivedSignal == 0)
            receivedSignal = byte;
        if (quitAction)
            quitAction();
    });
    struct sigaction handler {};
    handler.sa_handler = &Forward;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &handler, nullptr);
}

int ReceivedQuitSignal() { return receivedSignal; }

TQuitSignalReraise::~TQuitSignalReraise()
{
    if (receivedSignal == 0)
        return;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(receivedSignal, &standard, nullptr);
    ::raise(receivedSignal);
}
