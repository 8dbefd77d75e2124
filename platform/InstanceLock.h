// Marks a running copy of a program. Every copy holds a shared record lock on one file per
// program name in the configuration folder; a lock that another process holds on that file
// tells that a copy runs, and which process it is. The kernel drops the lock when its
// process ends, so a copy that crashed leaves nothing behind that counts.
#pragma once
#include <string>

// The lock file of a program name, inside the configuration folder whatever the name holds.
std::string InstanceLockFile(const std::string& name);
// Takes this process's lock for the name and keeps it until the process ends; the same
// descriptor for the same name again. -1 when the file cannot be made or locked (the next
// call tries again).
int HoldInstanceLock(const std::string& name);
// The process id of another running copy that holds the name's lock; 0 when there is none.
// This process's own lock never counts.
int FindInstanceLockHolder(const std::string& name);

// A user's file (an open project) marked as open in this copy, the same way: another copy that
// is about to open it finds this process. The lock file lies in the per-user runtime folder
// ($XDG_RUNTIME_DIR, else the configuration folder), named after the file's full path with
// its links resolved, so that two names of one file meet.
std::string OpenFileLockFile(const std::string& file);
// Marks the file as open here until ReleaseOpenFileLock of the lock file it gives, or the end
// of the process; empty when the lock file cannot be made or locked.
std::string HoldOpenFileLock(const std::string& file);
void ReleaseOpenFileLock(const std::string& lockFile);
// The process id of another running copy that has the file open; 0 when there is none.
int FindOpenFileHolder(const std::string& file);
