#include <sys/stat.h>

#include "render/render.h"

bool isRegularFile(const char* path) {
    // stat follows links and asks the file itself, whatever the directory entry says.
    struct stat status {};
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}
