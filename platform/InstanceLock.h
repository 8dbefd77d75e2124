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
