#include "app/SingleInstance.h"

#include "platform/ProgramLocations.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

namespace Vacuola {

namespace {

constexpr int ConnectMs = 2000;
constexpr int AnswerMs = 5000;
// A request is one list of a few paths; anything larger is no request of ours.
constexpr qint64 MaxRequestBytes = 1 << 20;

// The settings file as the same file for every spelling of its folder.
QString settingsIdentity(const QString &settingsFile)
{
    const QFileInfo file(settingsFile);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? file.absolutePath() : folder) + u'/' + file.fileName();
}

// The first argument is the folder: made absolute against this start's own
// folder, which the running window does not share.
QStringList absoluteArguments(QStringList arguments)
{
    if (!arguments.isEmpty() && !arguments.first().isEmpty() && !arguments.first().startsWith(u'/'))
        arguments.first() = QDir::currentPath() + u'/' + arguments.first();
    return arguments;
}

} // namespace

SingleInstance::SingleInstance(const QString &settingsFile, QObject *parent) : QObject(parent)
{
    const QString folder = ProgramLocations::runtimeFolder();
    if (folder.isEmpty())
        return;
    const QByteArray hash =
        QCryptographicHash::hash(settingsIdentity(settingsFile).toUtf8(), QCryptographicHash::Sha256).toHex();
    m_name =
        folder + QStringLiteral("/vacuola-") + QString::fromLatin1(hash.left(32)) + QStringLiteral(".socket");
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
}

bool SingleInstance::handOver(const QStringList &arguments)
{
    // Without a private folder the windows cannot meet: each runs on its own, as before.
    if (m_name.isEmpty())
        return false;
    // Two starts at once: the second one waits until the first one listens.
    QLockFile lock(m_name + QStringLiteral(".lock"));
    lock.lock();

    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (socket.waitForConnected(ConnectMs)) {
        QByteArray request;
        QDataStream out(&request, QIODevice::WriteOnly);
        out << absoluteArguments(arguments);
        socket.write(request);
        socket.waitForBytesWritten(AnswerMs);
        // The answer tells that the window read it; a window too busy to answer reads it later.
        socket.waitForReadyRead(AnswerMs);
        return true;
    }
    // Nobody listens: a socket left by a window that crashed is taken over.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_name);
    return false;
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > MaxRequestBytes) {
                socket->abort();
                return;
            }
            QDataStream stream(socket);
            stream.startTransaction();
            QStringList arguments;
            stream >> arguments;
            if (!stream.commitTransaction())
                return; // the rest is still on its way
            socket->write("1");
            socket->disconnectFromServer();
            emit handed(arguments);
        });
    }
}

} // namespace Vacuola
