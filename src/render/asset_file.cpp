#include <sys/stat.h>

#include <iostream>

#include "render/render.h"

bool mayOpenAsset(const char* path) {
    // stat follows links and asks the file itself, whatever the directory entry says. A
    // name it cannot look up is left to the loader, which then says why in its own words.
    struct stat status {};
    if (stat(path, &status) != 0 || S_ISREG(status.st_mode)) return true;
    std::cerr << "Skipping \"" << path << "\": not a regular file." << std::endl;
    return false;
}
