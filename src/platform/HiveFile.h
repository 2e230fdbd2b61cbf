#pragma once
// The hive files: where they live, loading them (a damaged user hive is set aside and the user
// told), and replacing them under the advisory lock that every saver takes.

#include "platform/Registry.h"

#include <string>

// Serialises the savers of one hive across processes; the lock file sits beside the hive,
// since the hive itself is replaced by each save.
class THiveLock {
public:
    THiveLock(const std::string& fileName, const char* operation);
    ~THiveLock();
    THiveLock(const THiveLock&) = delete;
    THiveLock& operator=(const THiveLock&) = delete;

private:
    int fd_ = -1;
};

// Reading never raises: a hive that cannot be had reads as empty and the user is told.
THive LoadUserHive(const std::string& fileName);
THive LoadMachineHive(const std::string& fileName);
// Under the hive's lock: the hive as it is now. A damaged one is set aside, the user told and
// an empty hive returned; one that cannot be read raises, since it must not be replaced.
THive LoadUserHiveLocked(const std::string& fileName, const char* operation);
// Replaces the hive file whole; the caller holds the lock.
void WriteHiveFile(const std::string& fileName, const std::string& text, const char* operation);

// Tells the user through the registry notifier.
void NotifyUser(const std::string& message);
