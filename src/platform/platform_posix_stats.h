// What the POSIX platform has asked of the file system, and a way to make it forget what it
// learnt. For tests only: the tool itself never changes the file system or its current directory
// during a run, so the layer keeps what it read for the whole run.
#pragma once

// Directories listed (opendir and readdir pass) since the process started.
unsigned long PosixDirectoryReads();

// Every file-system call of the layer (directory reads, stat, open, getcwd) since the start.
unsigned long PosixFileSystemCalls();

// Drops the directory cache and the remembered current directory; a test calls it after it has
// changed either, before it asks the platform again.
void ForgetPosixFileSystem();
