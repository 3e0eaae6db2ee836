// Starting, watching and stopping the viewer as a child process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "xdriver.h"

extern char** environ;

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(20);
constexpr int signalStatusBase = 128;
// Exit code of a child that could not start the program, as a shell reports it.
constexpr int cannotExecuteStatus = 127;

// A child that ran into an X error must not end the driver: errors are expected when a
// window goes away between two requests, and every caller checks its results.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::string variableName(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

// The inherited environment with the extra entries laid over it.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string inherited = *entry;
        bool replaced = false;
        for (const std::string& added : extra) {
            replaced = replaced || variableName(added) == variableName(inherited);
        }
        if (!replaced) result.push_back(inherited);
    }
    result.insert(result.end(), extra.begin(), extra.end());
    return result;
}

int decodeWaitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return signalStatusBase + WTERMSIG(status);
    return -1;
}

}  // namespace

ProgramRun launchProgram(const LaunchSettings& settings) {
    ProgramRun run;
    run.display = XOpenDisplay(nullptr);
    if (run.display == nullptr) return run;
    XSetErrorHandler(ignoreXError);

    // Everything the child needs is built before the fork, so the child only makes
    // system calls.
    const std::vector<std::string> environment = childEnvironment(settings.extraEnvironment);
    std::vector<char*> environmentPointers;
    for (const std::string& entry : environment) {
        environmentPointers.push_back(const_cast<char*>(entry.c_str()));
    }
    environmentPointers.push_back(nullptr);
    char* const arguments[] = {const_cast<char*>(settings.binary.c_str()), nullptr};

    const pid_t pid = fork();
    if (pid == 0) {
        const int errorFile =
            open(settings.standardErrorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errorFile >= 0) {
            dup2(errorFile, STDERR_FILENO);
            close(errorFile);
        }
        // The child must not share the driver's connection to the display.
        close(ConnectionNumber(run.display));
        if (chdir(settings.workingDirectory.c_str()) == 0) {
            execve(settings.binary.c_str(), arguments, environmentPointers.data());
        }
        _exit(cannotExecuteStatus);
    }
    run.pid = pid;
    return run;
}

bool programRunning(ProgramRun& run) {
    if (run.exitStatus) return false;
    if (run.pid <= 0) return false;
    int status = 0;
    const pid_t ended = waitpid(run.pid, &status, WNOHANG);
    if (ended == 0) return true;
    run.exitStatus = ended == run.pid ? decodeWaitStatus(status) : -1;
    return false;
}

std::optional<int> waitForExit(ProgramRun& run, double timeoutSeconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (programRunning(run)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, nullptr, 0);
            run.exitStatus = signalStatusBase + SIGKILL;
            return std::nullopt;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    return run.exitStatus;
}

void endRun(ProgramRun& run) {
    if (programRunning(run)) {
        kill(run.pid, SIGKILL);
        int status = 0;
        waitpid(run.pid, &status, 0);
        run.exitStatus = decodeWaitStatus(status);
    }
    if (run.display != nullptr) {
        XCloseDisplay(run.display);
        run.display = nullptr;
    }
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}
