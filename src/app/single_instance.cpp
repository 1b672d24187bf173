#include "app/single_instance.h"
#include <QCryptographicHash>
#include <QLocalSocket>
#include <QThread>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A copy busy starting up answers once its event loop runs: a second or so on a loaded machine.
constexpr int kAnswerWaitMs = 5000;
// Between a copy's last answer and the end of its process.
constexpr int kRetryPauseMs = 100;
// What a new start sends, and what the running copy answers once it has come forward.
constexpr char kComeForward[] = "come forward\n";
constexpr char kDone[] = "done\n";
} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& folder) : name_(nameFor(folder)) {
    server_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
}

QString SingleInstance::nameFor(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (error)
        canonical = folder.lexically_normal();
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(canonical.string()), QCryptographicHash::Sha256);
    return QStringLiteral("pikome-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest.toHex().left(32)));
}

SingleInstance::Claim SingleInstance::claim() {
    // A copy that holds the name but is just ending refuses the connection: then the name is
    // free a moment later, and the next round takes it.
    for (int round = 0; round < 3; ++round) {
        if (server_.listen(name_)) {
            connect(&server_, &QLocalServer::newConnection, this, [this] {
                while (QLocalSocket* socket = server_.nextPendingConnection())
                    answer(socket);
            });
            return Claim::First;
        }
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(name_);
        if (!socket.waitForConnected(kAnswerWaitMs) || socket.write(kComeForward) < 0 ||
            !socket.waitForBytesWritten(kAnswerWaitMs)) {
            QThread::msleep(kRetryPauseMs);
            continue;
        }
        while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerWaitMs)) {
        }
        if (socket.canReadLine())
            return Claim::OtherCameForward;
        if (socket.state() == QLocalSocket::ConnectedState)
            return Claim::OtherSilent;
        // It ended while we asked: its name is free once its process is gone.
        QThread::msleep(kRetryPauseMs);
    }
    return Claim::OtherSilent;
}

void SingleInstance::answer(QLocalSocket* socket) {
    // Names in the abstract namespace are open to every user of the machine: only the user's
    // own starts may call the palette forward.
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::getuid()) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine())
            return;
        socket->readAll();
        if (onAnotherStart)
            onAnotherStart();
        socket->write(kDone);
        socket->flush();
        socket->disconnectFromServer();
    });
}
