#include "tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace tooltest {

namespace {

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void StartChild(const std::vector<char*>& argv, const ToolOptions& options,
                             int stdinFd, int stdoutFd, int stderrFd) {
    dup2(stdinFd, STDIN_FILENO);
    if (options.closeStdout)
        close(STDOUT_FILENO);
    else
        dup2(stdoutFd, STDOUT_FILENO);
    dup2(stderrFd, STDERR_FILENO);
    if (options.inheritedFd >= 0) fcntl(options.inheritedFd, F_SETFD, 0);
    if (options.fileSizeLimit != RLIM_INFINITY) {
        rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    execv(argv[0], argv.data());
    _exit(127);
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const ToolOptions& options) {
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
    if (child == 0) StartChild(argv, options, input[0], out, err);
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

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() !=
           std::filesystem::file_type::not_found;
}

std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Encode(const std::string& utf8, const char* encoding) {
    iconv_t converter = iconv_open(encoding, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv does not know " << encoding;
        return {};
    }
    std::string out(utf8.size() * 4 + 8, '\0');
    char* from = const_cast<char*>(utf8.data());
    std::size_t fromLeft = utf8.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1))
        ADD_FAILURE() << "cannot encode in " << encoding;
    iconv_close(converter);
    out.resize(out.size() - toLeft);
    return out;
}

}  // namespace tooltest
