#include "app/assets.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "app/music_check.h"

namespace {

constexpr const char* terrainFile = "terrain.png";
constexpr const char* musicFile = "mellowsad beat.ogg";

// Our ramp is under 1 KB: the cap leaves room for the user's own while keeping a hostile
// file from filling memory.
constexpr std::size_t terrainCap = 1 << 20;
constexpr const char* terrainCapText = "1 MiB";

// A ramp needs only its first row; a texture this large is already more than any ramp.
constexpr png_uint_32 largestRampSide = 4096;
// Text and other side chunks: how many, and how large once inflated, libpng keeps.
constexpr png_uint_32 mostSideChunks = 64;
constexpr png_alloc_size_t largestSideChunk = 64 << 10;
constexpr int rgbaBytes = 4;

// What the music must be: the first page of an Ogg stream carrying the Vorbis
// identification header, whose layout is fixed.
constexpr std::size_t oggPageHeaderBytes = 27;
constexpr unsigned char oggFirstPage = 0x02;
constexpr std::size_t vorbisIdentificationBytes = 30;

void refuse(const char* path, const std::string& why) {
    std::cerr << "Skipping \"" << path << "\": " << why << '.' << std::endl;
}

// The whole of a regular file of at most `cap` bytes, or nothing after one line naming it.
// stat follows links and asks the file itself, whatever the directory entry says; the open
// does not block should a pipe have taken the file's place since, and fstat then looks again.
std::optional<std::vector<char>> readAsset(const char* path, std::size_t cap, const char* capText) {
    struct stat status {};
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode)) {
        refuse(path, "not a regular file");
        return std::nullopt;
    }
    const int file = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        refuse(path, std::string("cannot open it (") + std::strerror(errno) + ")");
        return std::nullopt;
    }
    std::vector<char> bytes;
    std::string why;
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        why = "not a regular file";
    } else if (static_cast<std::uintmax_t>(status.st_size) > cap) {
        why = std::string("larger than ") + capText;
    } else {
        const int error = readUpTo(file, cap, status.st_size, bytes);
        if (error < 0) why = std::string("larger than ") + capText;
        if (error > 0) why = std::string("cannot read it (") + std::strerror(error) + ")";
    }
    close(file);
    if (why.empty()) return bytes;
    refuse(path, why);
    return std::nullopt;
}

// --- the ramp, through libpng ---

struct PngSource {
    const std::vector<char>* bytes;
    std::size_t offset = 0;
    char error[160] = "";
    // libpng says what is wrong with a header as a warning, then fails with a general error.
    char headerFault[96] = "";
    bool inHeader = true;
};

void readPngBytes(png_structp png, png_bytep into, png_size_t length) {
    auto& source = *static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source.bytes->size() - source.offset) png_error(png, "the file ends early");
    std::memcpy(into, source.bytes->data() + source.offset, length);
    source.offset += length;
}

// libpng's errors end the decode through the jump back into decodeRamp. Past the header its
// warnings are about what it mends or leaves out. libpng prints neither.
[[noreturn]] void keepPngError(png_structp png, png_const_charp message) {
    auto& source = *static_cast<PngSource*>(png_get_error_ptr(png));
    if (source.headerFault[0] == '\0') {
        std::snprintf(source.error, sizeof source.error, "%s", message);
    } else {
        std::snprintf(source.error, sizeof source.error, "%s: %s", message, source.headerFault);
    }
    png_longjmp(png, 1);
}

void keepPngHeaderWarning(png_structp png, png_const_charp message) {
    auto& source = *static_cast<PngSource*>(png_get_error_ptr(png));
    if (source.inHeader)
        std::snprintf(source.headerFault, sizeof source.headerFault, "%s", message);
}

// Decodes the file into 8-bit RGBA rows. Nothing in this frame may need destroying when
// libpng jumps back to the setjmp, so the pixels and row list belong to the caller.
bool decodeRamp(PngSource& source, std::vector<png_byte>& pixels, std::vector<png_bytep>& rows,
                png_uint_32& width, png_uint_32& height) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, keepPngError, keepPngHeaderWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(source.error, sizeof source.error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, readPngBytes);
    png_set_user_limits(png, largestRampSide, largestRampSide);
    png_set_chunk_cache_max(png, mostSideChunks);
    png_set_chunk_malloc_max(png, largestSideChunk);
    // A damaged side chunk is as telling as a damaged image chunk: the file is not ours.
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(png, info);
    source.inHeader = false;

    // Whatever the colour type and depth, the rows come out as the window library takes
    // them: 8 bits a channel, red, green, blue and alpha, opaque where the file has none.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * rgbaBytes)
        png_error(png, "unexpected row layout");
    pixels.resize(std::size_t{width} * height * rgbaBytes);
    rows.resize(height);
    for (png_uint_32 row = 0; row < height; ++row)
        rows[row] = pixels.data() + std::size_t{row} * width * rgbaBytes;
    png_read_image(png, rows.data());
    // The chunks after the image are read too, so that their checksums are checked.
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// --- the music's first page ---

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
}

// Empty when the first page starts an Ogg Vorbis stream the viewer plays, else why not.
std::string firstPageFault(const std::vector<char>& file) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    const std::string notVorbis = "not an Ogg Vorbis file";
    if (file.size() < oggPageHeaderBytes || std::memcmp(bytes, "OggS", 4) != 0 || bytes[4] != 0 ||
        (bytes[5] & oggFirstPage) == 0)
        return notVorbis;
    const std::size_t segments = bytes[26];
    const std::size_t packetStart = oggPageHeaderBytes + segments;
    // The identification header is a packet of its own, alone on the first page.
    if (segments != 1 || file.size() < packetStart + vorbisIdentificationBytes ||
        bytes[oggPageHeaderBytes] != vorbisIdentificationBytes)
        return notVorbis;
    const unsigned char* packet = bytes + packetStart;
    if (packet[0] != 1 || std::memcmp(packet + 1, "vorbis", 6) != 0 ||
        littleEndian32(packet + 7) != 0)
        return notVorbis;
    const unsigned channels = packet[11];
    const std::uint32_t rate = littleEndian32(packet + 12);
    if (channels < 1 || channels > mostChannels)
        return std::to_string(channels) + " channels; the viewer plays 1 or 2";
    if (rate < lowestRate || rate > highestRate)
        return "a sample rate of " + std::to_string(rate) + " Hz; the viewer plays " +
               std::to_string(lowestRate) + " to " + std::to_string(highestRate) + " Hz";
    return {};
}

}  // namespace

void loadTerrainTexture(sf::Texture& texture) {
    const std::optional<std::vector<char>> file =
        readAsset(terrainFile, terrainCap, terrainCapText);
    if (!file) return;
    PngSource source{&*file};
    std::vector<png_byte> pixels;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0, height = 0;
    if (!decodeRamp(source, pixels, rows, width, height)) {
        refuse(terrainFile,
               std::string("not a PNG image the viewer can use (") + source.error + ")");
        return;
    }
    sf::Image image;
    image.create(width, height, pixels.data());
    (void)texture.loadFromImage(image, sf::IntRect());
}

MusicStart readMusic() {
    MusicStart start;
    std::optional<std::vector<char>> file = readAsset(musicFile, musicCap, musicCapText);
    if (!file) return start;
    const std::string fault = firstPageFault(*file);
    if (!fault.empty()) {
        refuse(musicFile, fault);
        return start;
    }
    start.bytes = std::move(*file);
    start.stage = MusicStart::Stage::read;
    return start;
}

void advanceMusicStart(MusicStart& start, std::optional<sf::Music>& music) {
    if (start.stage == MusicStart::Stage::over) return;
    std::string fault;
    if (start.stage == MusicStart::Stage::read) {
        fault = startMusicCheck(start);
    } else if (musicCheckEnded(start, fault) && fault.empty()) {
        // The library opens the bytes the child decoded: a file changed since cannot slip in.
        if (music.emplace().openFromMemory(start.bytes.data(), start.bytes.size())) {
            music->setLoop(true);
            music->play();
        }
        start.stage = MusicStart::Stage::over;
    }
    if (fault.empty()) return;
    refuse(musicFile, fault);
    start.stage = MusicStart::Stage::over;
}
