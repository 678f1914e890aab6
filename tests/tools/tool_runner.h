#pragma once
// Runs the built tqxmltool in a child process with chosen standard streams
// and limits, and scratch directories for its files.
#include <sys/resource.h>

#include <string>
#include <vector>

namespace tooltest {

struct ToolOptions {
    std::string input;         // fed to standard input through a pipe
    std::string stdoutPath;    // standard output goes here; empty: captured
    bool closeStdout = false;  // start with standard output closed
    rlim_t fileSizeLimit = RLIM_INFINITY;
    int inheritedFd = -1;  // left open in the child, e.g. for /dev/fd/N
};

struct ToolRun {
    int exitCode = -1;  // -1 when the tool did not exit normally
    bool hung = false;  // killed after the time limit
    double seconds = 0;
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options = {});

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Names of the entries in `directory`, sorted.
std::vector<std::string> Entries(const std::string& directory);

// Converts UTF-8 text with iconv; the test fails on an unknown encoding.
std::string Encode(const std::string& utf8, const char* encoding);

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace tooltest
