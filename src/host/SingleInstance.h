#pragma once
// One instance of the program with a window per user and settings file: the first instance serves a local
// socket while its window exists; a second one that finds it asks it to bring its window to
// the front and exits at once. The password change and "L" don't use the guard.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// The socket name of the user's current settings file.
QString SingleInstanceServerName();

class TSingleInstanceGuard : public QObject {
public:
    explicit TSingleInstanceGuard(QString serverName = SingleInstanceServerName());
    ~TSingleInstanceGuard() override;

    // True when this process is the first: it serves from now on. False when another
    // instance answered, which has then been asked to activate its window. A socket left
    // behind by an instance that died is taken over.
    bool Acquire();

    // Called in the first instance when a second one asks.
    std::function<void()> OnActivate;

private:
    void Serve();

    QString name_;
    std::unique_ptr<QLocalServer> server_;
};
