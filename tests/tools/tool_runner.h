#pragma once
// Runs the built tqxmltool in a child process with chosen standard streams
// and limits.
#include <sys/resource.h>

#include <string>
#include <vector>

#include "support/corpus_list.h"
#include "support/temp_dir.h"

namespace tooltest {

using tqtest::ReadBytes;
using tqtest::TempDir;

struct ToolOptions {
    std::string input;         // fed to standard input through a pipe
    std::string stdoutPath;    // standard output goes here; empty: captured
    bool closeStdout = false;  // start with standard output closed
    rlim_t fileSizeLimit = RLIM_INFINITY;
    int inheritedFd = -1;  // left open in the child, e.g. for /dev/fd/N
};

struct ToolRun {
    int exitCode = -1;  // -1 when the tool did not exit normally
    double seconds = 0;
    std::string out;
    std::string err;
};

// Kills the tool after a minute.
ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options = {});

bool Exists(const std::string& path);
// Names of the entries in `directory`, sorted.
std::vector<std::string> Entries(const std::string& directory);
// Converts UTF-8 text with iconv; the test fails on an unknown encoding.
std::string Encode(const std::string& utf8, const char* encoding);

}  // namespace tooltest
