#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Vacuola {

/**
 * One window per user and settings file. The first start listens on a socket
 * named after its settings file in the user's private runtime folder; a later
 * start with the same settings file hands its command line over and ends, so
 * that two windows never save over each other.
 */
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(const QString &settingsFile, QObject *parent = nullptr);

    /**
     * True when a window of this settings file runs and was handed the command
     * line (its folder made absolute here). Otherwise this start listens from
     * now on and reports what later starts hand over through `handed`.
     */
    bool handOver(const QStringList &arguments);

signals:
    void handed(const QStringList &arguments);

private:
    void takeConnection();

    QString m_name;
    QLocalServer m_server;
};

} // namespace Vacuola
