#include "app/picture.h"

#include <fcntl.h>
#include <png.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "app/printable.h"

namespace {

constexpr const char* picturesKey = "XDG_PICTURES_DIR";
constexpr const char* homeVariable = "$HOME";
constexpr const char* userDirsFile = "user-dirs.dirs";
// The file is a few lines; anything longer is not one the user's tools wrote.
constexpr std::size_t userDirsLimit = 64 * 1024;
constexpr unsigned temporaryAttempts = 100;
// Past this many copies of one seed's picture the folder is not one to keep adding to.
constexpr unsigned maxCopies = 9999;

std::string inFolder(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool isFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::optional<std::string> homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home);
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0')
        return std::string(entry->pw_dir);
    return std::nullopt;
}

// The file's text, or nothing. Only a regular file is read, and not past the limit: a pipe
// without a writer or a device under that name would block or never end.
std::optional<std::string> readSmallFile(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        std::string buffer(userDirsLimit, '\0');
        const ssize_t length = read(descriptor, buffer.data(), buffer.size());
        if (length >= 0) text = buffer.substr(0, static_cast<std::size_t>(length));
    }
    close(descriptor);
    return text;
}

std::string picturesFolder(const std::string& home) {
    // Relative values of XDG_CONFIG_HOME are not to be used.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = configHome != nullptr && configHome[0] == '/'
                                   ? std::string(configHome)
                                   : inFolder(home, ".config");
    const std::optional<std::string> userDirs = readSmallFile(inFolder(config, userDirsFile));
    return choosePicturesFolder(
        home, userDirs ? picturesFolderFromUserDirs(*userDirs, home) : std::nullopt,
        isFolder(inFolder(home, "Pictures")));
}

// Gives the file its new name only where that name is free. Where the folder's file system
// cannot rename that way, a second link under the new name is just as safe.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

// Writes the PNG into the open file and closes it, its bytes on the disk before it is named.
bool writePng(int descriptor, const ViewportPixels& pixels, std::string& error) {
    FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        close(descriptor);
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.width);
    image.height = static_cast<png_uint_32>(pixels.height);
    image.format = PNG_FORMAT_RGB;
    // The frame waits for the save: at 1280 x 720 the library's fast setting writes in about
    // a tenth of the time of its default, for a file about a tenth larger.
    image.flags = PNG_IMAGE_FLAG_FAST;
    // A negative stride reads the rows from the last one up, as OpenGL gives them bottom up.
    const png_int_32 stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    errno = 0;
    bool written = png_image_write_to_stdio(&image, file, 0, pixels.rgb.data(), stride, nullptr);
    if (!written) error = errno != 0 ? std::strerror(errno) : image.message;
    png_image_free(&image);
    if (written && (std::fflush(file) != 0 || fsync(descriptor) != 0)) {
        written = false;
        error = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = std::strerror(errno);
    }
    return written;
}

// Writes one line to the stream. A reader that has gone away must not end the viewer, so a
// closed pipe only fails the write instead of raising SIGPIPE.
void sayOneLine(std::ostream& stream, const std::string& line) {
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    stream << line << std::endl;
    stream.clear();
    sigaction(SIGPIPE, &previous, nullptr);
}

}  // namespace

std::string pictureFileName(std::uint32_t seed, unsigned copy) {
    const std::string stem = "quillmere-" + std::to_string(seed);
    return copy <= 1 ? stem + ".png" : stem + "-" + std::to_string(copy) + ".png";
}

std::optional<std::string> picturesFolderFromUserDirs(const std::string& userDirs,
                                                      const std::string& home) {
    std::optional<std::string> folder;
    std::size_t lineStart = 0;
    while (lineStart < userDirs.size()) {
        std::size_t lineEnd = userDirs.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = userDirs.size();
        const std::string line = userDirs.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        // XDG_PICTURES_DIR="$HOME/Pictures" or ="/path", the value's quotes and backslashes
        // escaped with a backslash, as a shell reads it.
        std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, std::strlen(picturesKey), picturesKey) != 0)
            continue;
        at = line.find_first_not_of(" \t", at + std::strlen(picturesKey));
        if (at == std::string::npos || line[at] != '=') continue;
        at = line.find_first_not_of(" \t", at + 1);
        if (at == std::string::npos || line[at] != '"') continue;
        ++at;
        std::string value;
        if (line.compare(at, std::strlen(homeVariable), homeVariable) == 0) {
            value = home;
            at += std::strlen(homeVariable);
        } else if (at >= line.size() || line[at] != '/') {
            continue;
        }
        bool closed = false;
        for (; at < line.size(); ++at) {
            if (line[at] == '"') {
                closed = true;
                break;
            }
            if (line[at] == '\\' && at + 1 < line.size()) ++at;
            value += line[at];
        }
        if (closed) folder = value;
    }
    return folder;
}

std::string choosePicturesFolder(const std::string& home,
                                 const std::optional<std::string>& fromUserDirs,
                                 bool homePicturesIsFolder) {
    if (fromUserDirs) return *fromUserDirs;
    return homePicturesIsFolder ? inFolder(home, "Pictures") : home;
}

std::optional<std::string> writePicture(const ViewportPixels& pixels, const std::string& folder,
                                        std::uint32_t seed, std::string& error) {
    // A name no other viewer uses at the same time; one left behind by a viewer that died
    // is passed over.
    int descriptor = -1;
    std::string temporary;
    for (unsigned attempt = 0; descriptor < 0 && attempt < temporaryAttempts; ++attempt) {
        temporary = inFolder(folder, ".quillmere-" + std::to_string(getpid()) + "-" +
                                         std::to_string(attempt) + ".png.part");
        descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return std::nullopt;
        }
    }
    if (descriptor < 0) {
        error = "no free name for the temporary file";
        return std::nullopt;
    }
    if (!writePng(descriptor, pixels, error)) {
        unlink(temporary.c_str());
        return std::nullopt;
    }
    for (unsigned copy = 1; copy <= maxCopies; ++copy) {
        const std::string path = inFolder(folder, pictureFileName(seed, copy));
        if (renameWithoutReplacing(temporary, path)) return path;
        if (errno != EEXIST) {
            error = std::strerror(errno);
            unlink(temporary.c_str());
            return std::nullopt;
        }
    }
    error = "every name up to " + pictureFileName(seed, maxCopies) + " is taken";
    unlink(temporary.c_str());
    return std::nullopt;
}

bool saveKeyPressed(SaveKeyState& state, const sf::Event& event) {
    const bool saveKeyEvent =
        (event.type == sf::Event::KeyPressed || event.type == sf::Event::KeyReleased) &&
        event.key.code == saveKey;
    if (event.type == sf::Event::LostFocus ||
        (saveKeyEvent && event.type == sf::Event::KeyReleased)) {
        state.held = false;
    } else if (saveKeyEvent && !state.held) {
        state.held = true;
        return true;
    }
    return false;
}

void saveView(std::uint32_t seed) {
    std::string folder, error;
    std::optional<std::string> saved;
    try {
        const ViewportPixels pixels = readViewportPixels();
        const std::optional<std::string> home = homeFolder();
        if (home) {
            folder = picturesFolder(*home);
            saved = writePicture(pixels, folder, seed, error);
        } else {
            error = "there is no home folder to find the pictures folder from";
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the picture";
    }
    if (saved) {
        sayOneLine(std::cout, "Saved the view as " + printable(*saved));
    } else {
        sayOneLine(std::cerr, "Could not save the view" +
                                  (folder.empty() ? "" : " in " + printable(folder)) + ": " +
                                  error + ".");
    }
}
