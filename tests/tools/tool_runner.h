#pragma once
// Runs the built tqxmltool in a child process with chosen standard streams
// and limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/corpus_list.h"
#include "support/temp_dir.h"

namespace tooltest {

using tqtest::Exists;
using tqtest::ReadBytes;
using tqtest::TempDir;
using tqtest::Wide;

struct ToolOptions {
    std::string input;         // fed to standard input through a pipe
    std::string stdoutPath;    // standard output goes here; empty: captured
    bool closeStdout = false;  // start with standard output closed
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

struct ToolRun {
    int exitCode = -1;  // -1 when the tool did not exit normally
    double seconds = 0;
    std::string out;
    std::string err;
};

// Kills the tool after a minute.
inline ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options = {}) {
    signal(SIGPIPE, SIG_IGN);
    const TempDir scratch;
    std::vector<std::string> all{TQXMLTOOL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe";
    const std::string outPath =
        options.stdoutPath.empty() ? scratch.Path("out") : options.stdoutPath;
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int err = open(scratch.Path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {  // only async-signal-safe calls until exec
        dup2(input[0], STDIN_FILENO);
        options.closeStdout ? close(STDOUT_FILENO) : dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(out);
    close(err);
    // The tool may stop reading early; the caller checks what it made of it.
    const ssize_t fed = write(input[1], options.input.data(), options.input.size());
    (void)fed;
    close(input[1]);

    ToolRun run;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (options.stdoutPath.empty()) run.out = ReadBytes(outPath);
    run.err = ReadBytes(scratch.Path("err"));
    return run;
}

// Names of the entries in `directory`, sorted.
inline std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Converts UTF-8 text with iconv; the test fails on an unknown encoding.
inline std::string Encode(const std::string& utf8, const char* encoding) {
    iconv_t converter = iconv_open(encoding, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv does not know " << encoding;
        return {};
    }
    std::string out(utf8.size() * 4 + 8, '\0');
    char* from = const_cast<char*>(utf8.data());
    std::size_t fromLeft = utf8.size(), toLeft = out.size();
    char* to = out.data();
    if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1))
        ADD_FAILURE() << "cannot encode in " << encoding;
    iconv_close(converter);
    out.resize(out.size() - toLeft);
    return out;
}

}  // namespace tooltest
