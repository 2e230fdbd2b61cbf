#include "host/SingleInstance.h"

#include "platform/Registry.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int kAnswerTimeoutMs = 1000;
constexpr char kActivateRequest[] = "activate\n";

// True when a live instance took the request.
bool AskToActivate(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kAnswerTimeoutMs))
        return false;
    socket.write(kActivateRequest);
    const bool sent = socket.waitForBytesWritten(kAnswerTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace

// One instance per user and settings file: runs on scratch settings (tests, previews of
// other hives) never take each other's place.
QString SingleInstanceServerName()
{
    const size_t hive = std::hash<std::string>{}(HiveFileName(HKEY_CURRENT_USER));
    return QString("lumenfall-%1-%2").arg(::getuid()).arg(qulonglong(hive), 0, 16);
}

TSingleInstanceGuard::TSingleInstanceGuard(QString serverName) : name_(std::move(serverName)) {}

TSingleInstanceGuard::~TSingleInstanceGuard() = default;

bool TSingleInstanceGuard::Acquire()
{
    if (AskToActivate(name_))
        return false;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Nobody answered, so the socket is a leftover of an instance that ended abruptly.
        QLocalServer::removeServer(name_);
        server_->listen(name_);
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &TSingleInstanceGuard::Serve);
    return true;
}

void TSingleInstanceGuard::Serve()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto answer = [this, socket] {
            if (socket->canReadLine() && socket->readLine() == kActivateRequest && OnActivate)
                OnActivate();
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        answer();
    }
}
