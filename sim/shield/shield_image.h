// The program images of the simulated stand: what "Osmu_Trojan.bin",
// "Velk_BootLoaderSPI_v1001.bin" and "Osmu_v324.bin" in a stand's working
// directory hold, and how the simulated shield tells from a flash area what
// was written into it. An image is a plain byte file, sent by the flasher as
// it is: a 16-byte descriptor ("VELK", the kind of program, its version, the
// image's size), a filler pattern, and a 32-bit FNV-1a hash of everything
// before it in its last four bytes, so that an image cut short, or an area
// partly erased, holds no program.
// Leaves out: program code; the shield only ever runs its model of the kind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class ImageKind : uint8_t { none, firmware, bootloader, trojan };

// What a flash area holds: a complete image at its start, or `none` (erased,
// cut short, or not an image of the stand).
struct ImageInfo {
  ImageKind kind = ImageKind::none;
  uint32_t version = 0;
};

inline constexpr size_t kImageHeaderSize = 16;
inline constexpr size_t kImageMinSize = kImageHeaderSize + 4;

// A complete image of `size` bytes (at least kImageMinSize).
std::vector<uint8_t> image_make(ImageKind kind, uint32_t version, size_t size);

ImageInfo image_inspect(std::span<const uint8_t> area);

// The images a simulated stand's working directory is given.
struct StandImage {
  const char* file;
  ImageKind kind;
  uint32_t version;
  size_t size;
};
inline constexpr StandImage kStandImages[] = {
    {"Osmu_Trojan.bin", ImageKind::trojan, 1, 1002},
    {"Velk_BootLoaderSPI_v1001.bin", ImageKind::bootloader, 1001, 2001},
    {"Osmu_v324.bin", ImageKind::firmware, 324, 3000},
};

// The shield's two flash areas: the application (firmware, or the trojan while
// the bootloader is replaced) and the bootloader.
enum class FlashArea : uint8_t { application, bootloader };
inline constexpr size_t kApplicationSize = 64 * 1024;
inline constexpr size_t kBootloaderSize = 16 * 1024;

// The binary file of an area beside the shield's state file
// ("dir/shield.state" -> "dir/shield.application.bin").
std::string flash_area_path(const std::string& state_path, FlashArea area);

}  // namespace sim
