#include "app/picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string userDirs(const std::string& line) {
    return "# This file is written by xdg-user-dirs-update\n"
           "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" +
           line + "\nXDG_MUSIC_DIR=\"$HOME/Music\"\n";
}

sf::Event keyEvent(sf::Event::EventType type, sf::Keyboard::Key code) {
    sf::Event event{};
    event.type = type;
    event.key.code = code;
    return event;
}

// A folder of its own for each test, gone after it.
struct PictureFolder : testing::Test {
    std::filesystem::path folder;
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "pictures.XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            found.push_back(entry.path().filename());
        std::sort(found.begin(), found.end());
        return found;
    }
};

const ViewportPixels twoRows{3, 2, std::vector<unsigned char>(3 * 2 * 3, 128)};

}  // namespace

// The pictures folder as user-dirs.dirs writes it: $HOME at its start, or a path from the root,
// in double quotes whose quotes and backslashes are escaped.
TEST(PicturesFolder, ReadFromUserDirsElseHomePicturesElseHome) {
    const std::string home = "/home/ann";
    const auto from = [&](const std::string& text) {
        return picturesFolderFromUserDirs(text, home);
    };
    EXPECT_EQ(from(userDirs("XDG_PICTURES_DIR=\"$HOME/Bilder\"")), "/home/ann/Bilder");
    EXPECT_EQ(from(userDirs("  XDG_PICTURES_DIR = \"/srv/photos\"")), "/srv/photos");
    EXPECT_EQ(from(userDirs("XDG_PICTURES_DIR=\"$HOME/My \\\"Best\\\" \\\\ Shots\"")),
              "/home/ann/My \"Best\" \\ Shots");
    EXPECT_EQ(from(userDirs("XDG_PICTURES_DIR=\"$HOME/\"")), "/home/ann/");
    EXPECT_EQ(from(userDirs("XDG_PICTURES_DIR=\"$HOME/A\"\nXDG_PICTURES_DIR=\"$HOME/B\"")),
              "/home/ann/B");
    // Lines that set nothing usable: another key, a comment, a relative path, no closing quote.
    for (const char* unusable : {"XDG_PICTURES_DIRS=\"$HOME/P\"", "# XDG_PICTURES_DIR=\"$HOME/P\"",
                                 "XDG_PICTURES_DIR=\"Pictures\"", "XDG_PICTURES_DIR=\"$HOME/P",
                                 "XDG_PICTURES_DIR=$HOME/P", "XDG_VIDEOS_DIR=\"$HOME/Videos\""}) {
        EXPECT_EQ(from(userDirs(unusable)), std::nullopt) << unusable;
    }
    EXPECT_EQ(from(""), std::nullopt);

    EXPECT_EQ(choosePicturesFolder(home, std::string("/srv/photos"), true), "/srv/photos");
    EXPECT_EQ(choosePicturesFolder(home, std::nullopt, true), "/home/ann/Pictures");
    EXPECT_EQ(choosePicturesFolder(home, std::nullopt, false), "/home/ann");
}

// A key held down repeats its press; one press saves one picture.
TEST(SaveKey, OnePressOnePicture) {
    SaveKeyState state;
    EXPECT_TRUE(saveKeyPressed(state, keyEvent(sf::Event::KeyPressed, sf::Keyboard::S)));
    EXPECT_FALSE(saveKeyPressed(state, keyEvent(sf::Event::KeyPressed, sf::Keyboard::S)));
    EXPECT_FALSE(saveKeyPressed(state, keyEvent(sf::Event::KeyReleased, sf::Keyboard::S)));
    EXPECT_TRUE(saveKeyPressed(state, keyEvent(sf::Event::KeyPressed, sf::Keyboard::S)));
    // The release may go to another window once the focus has gone there.
    EXPECT_FALSE(saveKeyPressed(state, keyEvent(sf::Event::LostFocus, sf::Keyboard::Unknown)));
    EXPECT_TRUE(saveKeyPressed(state, keyEvent(sf::Event::KeyPressed, sf::Keyboard::S)));
    EXPECT_FALSE(saveKeyPressed(state, keyEvent(sf::Event::KeyPressed, sf::Keyboard::F12)));
}

// Every save takes the next free name, leaving what is there, and no temporary file, behind.
TEST_F(PictureFolder, SavesTakeFreeNamesAndKeepEveryPicture) {
    const std::string kept = "someone else's";
    std::ofstream(folder / "quillmere-4294967295-3.png") << kept;
    std::string error;
    std::vector<std::string> saved;
    for (int save = 0; save < 3; ++save) {
        const std::optional<std::string> path = writePicture(twoRows, folder, 4294967295u, error);
        ASSERT_TRUE(path) << error;
        saved.push_back(std::filesystem::path(*path).filename());
    }
    EXPECT_EQ(saved,
              (std::vector<std::string>{"quillmere-4294967295.png", "quillmere-4294967295-2.png",
                                        "quillmere-4294967295-4.png"}));
    EXPECT_EQ(names(),
              (std::vector<std::string>{"quillmere-4294967295-2.png", "quillmere-4294967295-3.png",
                                        "quillmere-4294967295-4.png", "quillmere-4294967295.png"}));
    std::ifstream keptFile(folder / "quillmere-4294967295-3.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(keptFile), {}), kept);
}

// A folder that cannot take the file says why and leaves nothing.
TEST_F(PictureFolder, UnwritableFolderSaysWhy) {
    std::ofstream(folder / "not-a-folder") << "";
    std::string error;
    EXPECT_FALSE(writePicture(twoRows, folder / "not-a-folder", 0, error));
    EXPECT_EQ(error, "Not a directory");
    EXPECT_FALSE(writePicture(twoRows, folder / "missing", 0, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(names(), std::vector<std::string>{"not-a-folder"});
}
