// A process killed with SIGKILL while it saves the user hive never leaves it damaged: after
// every kill the hive parses and holds the value of the last save that finished or of the
// one under way. LUMENFALL_DURABILITY_KILLS raises the number of kills (100 by default).

#include "persistence/TemporaryHives.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "Software\\Quenwick\\ORBX";

int KillCount()
{
    const char* text = std::getenv("LUMENFALL_DURABILITY_KILLS");
    const int count = text ? std::atoi(text) : 0;
    return count > 100 ? count : 100;
}

// Saves "Counter" = first, first + 1, ... until killed, reporting each finished save as
// four bytes on the pipe. Runs in the forked child and never returns.
[[noreturn]] void SaveForever(int reportFd, uint32_t first)
{
    try {
        for (uint32_t value = first;; ++value) {
            TRegistry reg;
            if (!reg.OpenKey(kKey, true))
                ::_exit(2);
            reg.WriteInteger("Counter", int32_t(value));
            reg.CloseKey();
            if (::write(reportFd, &value, sizeof value) != sizeof value)
                ::_exit(3);
        }
    } catch (...) {
        ::_exit(4);
    }
}

// The last value the child reported, or none; reads until the pipe is closed.
std::optional<uint32_t> LastReported(int fd, std::optional<uint32_t> last)
{
    uint32_t value = 0;
    ssize_t n = 0;
    while ((n = ::read(fd, &value, sizeof value)) == sizeof value)
        last = value;
    return last;
}

// Waits until the child has finished at least one save, so that kills land among saves.
bool FirstReport(int fd, std::optional<uint32_t>& last)
{
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, -1) != 1)
        return false;
    uint32_t value = 0;
    if (::read(fd, &value, sizeof value) != sizeof value)
        return false;
    last = value;
    return true;
}

} // namespace

TEST(HiveDurability, KilledSavesLeaveTheOldOrTheNewValue)
{
    TTemporaryHives hives("durability");
    // Enough other content that a save takes a while to write.
    const std::string payload(64 * 1024, 'p');
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteString("Payload", payload);
        reg.WriteInteger("Counter", 0);
        reg.CloseKey();
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 3000);
    uint32_t next = 1;
    const int kills = KillCount();
    for (int kill = 0; kill < kills; ++kill) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            SaveForever(pipeFds[1], next);
        }
        ::close(pipeFds[1]);
        std::optional<uint32_t> last;
        ASSERT_TRUE(FirstReport(pipeFds[0], last)) << "kill " << kill;
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself, status " << status;
        last = LastReported(pipeFds[0], last);
        ::close(pipeFds[0]);

        THive hive = THive::LoadFromFile(hives.UserHive().string(), HKEY_CURRENT_USER); // raises when damaged
        const TRegData* counter = hive.FindValue(kKey, "Counter");
        ASSERT_NE(counter, nullptr) << "kill " << kill;
        ASSERT_EQ(counter->Bytes.size(), 4u);
        const uint32_t stored = uint32_t(counter->Bytes[0]) | uint32_t(counter->Bytes[1]) << 8 |
                                uint32_t(counter->Bytes[2]) << 16 | uint32_t(counter->Bytes[3]) << 24;
        ASSERT_TRUE(stored == *last || stored == *last + 1)
            << "kill " << kill << ": stored " << stored << ", last finished save " << *last;
        const TRegData* kept = hive.FindValue(kKey, "Payload");
        ASSERT_NE(kept, nullptr);
        ASSERT_EQ(*kept, TRegData::String(payload));
        next = stored + 1;
    }
    for (const auto& entry : fs::directory_iterator(hives.Folder()))
        EXPECT_EQ(entry.path().filename().string().find("damaged"), std::string::npos) << entry.path();
}
