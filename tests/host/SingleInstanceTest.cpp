#include "host/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString TestServerName() { return QString("lumenfall-test-%1").arg(::getpid()); }

void ProcessEventsUntil(const bool& flag)
{
    QDeadlineTimer deadline(5000);
    while (!flag && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

TEST(SingleInstanceTest, SecondInstanceActivatesTheFirst)
{
    TSingleInstanceGuard first(TestServerName());
    bool activated = false;
    first.OnActivate = [&] { activated = true; };
    ASSERT_TRUE(first.Acquire());

    TSingleInstanceGuard second(TestServerName());
    EXPECT_FALSE(second.Acquire());
    ProcessEventsUntil(activated);
    EXPECT_TRUE(activated);
}

TEST(SingleInstanceTest, TheNameIsFreeAgainAfterTheFirstEnds)
{
    {
        TSingleInstanceGuard first(TestServerName());
        ASSERT_TRUE(first.Acquire());
    }
    TSingleInstanceGuard next(TestServerName());
    EXPECT_TRUE(next.Acquire());
}

TEST(SingleInstanceTest, LeftoverSocketIsTakenOver)
{
    // A socket file nobody listens on is what an instance that died leaves behind.
    QString path;
    {
        QLocalServer probe;
        ASSERT_TRUE(probe.listen(TestServerName()));
        path = probe.fullServerName();
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    TSingleInstanceGuard guard(TestServerName());
    EXPECT_TRUE(guard.Acquire());
    TSingleInstanceGuard second(TestServerName());
    EXPECT_FALSE(second.Acquire()) << "the new instance serves";
}

} // namespace
