// What the POSIX platform has asked of the file system: tests count on these to prove that a
// probe in a directory already read costs no system call.
#pragma once

// Directories listed (an opendir and readdir pass each) since the process started.
unsigned long PosixDirectoryReads();

// Every file-system call of the layer (directory reads, stat, open, getcwd) since the start.
unsigned long PosixFileSystemCalls();
