#include "app/music_check.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SFML/Audio/InputSoundFile.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// The viewer's own program, whatever it was started as, even if replaced since.
constexpr const char* ownProgram = "/proc/self/exe";

// Our music decodes in a fraction of a second; a decoder stuck in a loop or asking for
// gigabytes is stopped long before it matters. The clock deadline covers a child that
// waits rather than computes, and a machine so busy that it hardly gets a turn.
constexpr rlim_t checkSeconds = 10;
constexpr auto checkDeadline = std::chrono::seconds(30);
// Address space, not resident memory: the child maps the viewer's libraries too.
constexpr rlim_t checkAddressSpace = rlim_t{1} << 30;
constexpr std::size_t samplesPerRead = 1 << 16;

void limit(int resource, rlim_t value) {
    const struct rlimit limits { value, value };
    setrlimit(resource, &limits);
}

bool writeAll(int file, const std::vector<char>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = write(file, bytes.data() + written, bytes.size() - written);
        if (done < 0 && errno != EINTR) return false;
        if (done > 0) written += static_cast<std::size_t>(done);
    }
    return lseek(file, 0, SEEK_SET) == 0;
}

std::string errorText(const char* what, int error) {
    return std::string(what) + " (" + std::strerror(error) + ")";
}

std::string spawnChecker(MusicStart& start, int music) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, music, STDIN_FILENO);
    // What a crashing decoder or the libraries say is no news for the user: the one line
    // about the file is ours.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own, so that Ctrl+C in the terminal stops the viewer, which then ends
    // the child, rather than the child failing its check on the way.
    sigset_t none, terminating;
    sigemptyset(&none);
    sigemptyset(&terminating);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&terminating, signalNumber);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &terminating);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string name = musicCheckName;
    char* arguments[] = {name.data(), nullptr};
    const int error =
        posix_spawn(&start.checker, ownProgram, &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return errorText("cannot check it", error);
    start.stage = MusicStart::Stage::checking;
    start.checkDeadline = std::chrono::steady_clock::now() + checkDeadline;
    return {};
}

// A child that has not ended is killed, and waited for so that it leaves no zombie.
void killChecker(pid_t checker, int* status) {
    kill(checker, SIGKILL);
    while (waitpid(checker, status, 0) < 0 && errno == EINTR) {
    }
}

std::string reapFault(int status) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    if (WIFSIGNALED(status))
        return std::string("it does not decode (the decoder died: ") + strsignal(WTERMSIG(status)) +
               ")";
    return "it does not decode";
}

}  // namespace

int readUpTo(int file, std::size_t cap, std::size_t expected, std::vector<char>& bytes) {
    // A byte more than expected finds the end of a file as long as expected, or that it grew.
    bytes.resize(std::min(expected, cap) + 1);
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size()) {
            if (length > cap) return -1;
            bytes.resize(std::min(2 * length, cap + 1));
        }
        const ssize_t got = read(file, bytes.data() + length, bytes.size() - length);
        if (got == 0) break;
        if (got < 0 && errno != EINTR) return errno;
        if (got > 0) length += static_cast<std::size_t>(got);
    }
    bytes.resize(length);
    return 0;
}

std::string startMusicCheck(MusicStart& start) {
    // A viewer started with children ignored would have its checker reaped unseen.
    signal(SIGCHLD, SIG_DFL);
    const int music = memfd_create("music", MFD_CLOEXEC);
    if (music < 0) return errorText("cannot check it", errno);
    std::string fault = writeAll(music, start.bytes) ? spawnChecker(start, music)
                                                     : errorText("cannot check it", errno);
    close(music);
    return fault;
}

bool musicCheckEnded(MusicStart& start, std::string& fault) {
    int status = 0;
    pid_t ended = waitpid(start.checker, &status, WNOHANG);
    if (ended == 0 && std::chrono::steady_clock::now() < start.checkDeadline) return false;
    if (ended == 0) {
        killChecker(start.checker, &status);
        fault = "it does not decode in time";
    } else if (ended < 0) {
        fault = errorText("cannot check it", errno);
    } else {
        fault = reapFault(status);
    }
    start.checker = -1;
    return true;
}

void abandonMusicStart(MusicStart& start) {
    if (start.stage != MusicStart::Stage::checking || start.checker <= 0) return;
    killChecker(start.checker, nullptr);
    start.checker = -1;
    start.stage = MusicStart::Stage::over;
}

int runMusicCheck() {
    // Ends with the viewer; leaves no core file; stops when it computes or grows too long.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    limit(RLIMIT_CORE, 0);
    limit(RLIMIT_CPU, checkSeconds);
    limit(RLIMIT_AS, checkAddressSpace);

    std::vector<char> bytes;
    if (readUpTo(STDIN_FILENO, musicCap, 0, bytes) != 0) return 1;

    // The same reader the music then streams through, over the same bytes, to the end. The
    // audio library would take a stream it cannot play, then say so at length when played.
    sf::InputSoundFile music;
    if (!music.openFromMemory(bytes.data(), bytes.size())) return 1;
    const unsigned channels = music.getChannelCount(), rate = music.getSampleRate();
    if (channels < 1 || channels > mostChannels || rate < lowestRate || rate > highestRate)
        return 1;
    std::vector<sf::Int16> samples(samplesPerRead);
    sf::Uint64 total = 0;
    for (sf::Uint64 read; (read = music.read(samples.data(), samples.size())) > 0;) total += read;
    return total > 0 ? 0 : 1;
}
