#include "test_support.hpp"

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

ScratchDir::ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "levelkit-test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

// Reads both pipes to their end at once, so that neither fills up while the tool waits on it.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[] = {&out, &err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("poll");
            std::abort();
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

std::string withLineFeeds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            out += text[i];
        }
    }
    return out;
}

bool windowsTarget() {
    const char* target = std::getenv("LEVELKIT_TARGET");
    return target != nullptr && std::string(target) == "windows";
}

std::string fileSizeLimitReason() {
    return windowsTarget() ? "General failure" : "File too large";
}

RunResult runLevelkit(const std::vector<std::string>& args, const RunOptions& options) {
    const char* override = std::getenv("LEVELKIT_EXE");
    const std::string program = override != nullptr && *override != '\0' ? override : LEVELKIT_EXE;
    // Pipes rather than files: a file-size limit set for the tool must not cut what it prints.
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) {
        std::perror("pipe");
        std::abort();
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::abort();
    }
    if (pid == 0) {
        if (::dup2(outPipe[1], 1) < 0 || ::dup2(errPipe[1], 2) < 0) {
            ::_exit(127);
        }
        for (const int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) {
            ::close(fd);
        }
        if (options.fileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
            ::_exit(127);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    RunResult result;
    drain(outPipe[0], errPipe[0], result.out, result.err);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (windowsTarget()) {  // standard output is in text mode there
        result.out = withLineFeeds(result.out);
    }
    return result;
}

}  // namespace testsupport
