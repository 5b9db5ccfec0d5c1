#include "shield/shield_image.h"

#include <algorithm>

namespace sim {
namespace {

constexpr uint8_t kMagic[4] = {'V', 'E', 'L', 'K'};
constexpr char kKindLetters[] = {'-', 'F', 'B', 'T'};  // by ImageKind

uint32_t fnv1a(std::span<const uint8_t> bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

void put_le32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t le32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

}  // namespace

std::vector<uint8_t> image_make(ImageKind kind, uint32_t version, size_t size) {
  size = std::max(size, kImageMinSize);
  std::vector<uint8_t> image(size);
  std::copy(std::begin(kMagic), std::end(kMagic), image.begin());
  image[4] = static_cast<uint8_t>(kKindLetters[static_cast<size_t>(kind)]);
  put_le32(&image[8], version);
  put_le32(&image[12], static_cast<uint32_t>(size));
  // A filler without long runs of 0xFF, so that erased flash never looks like it.
  for (size_t i = kImageHeaderSize; i < size - 4; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  put_le32(&image[size - 4], fnv1a(std::span(image).first(size - 4)));
  return image;
}

ImageInfo image_inspect(std::span<const uint8_t> area) {
  if (area.size() < kImageMinSize || !std::equal(std::begin(kMagic), std::end(kMagic), area.begin())) return {};
  uint32_t size = le32(&area[12]);
  if (size < kImageMinSize || size > area.size() || le32(&area[size - 4]) != fnv1a(area.first(size - 4))) return {};
  for (size_t k = 1; k < std::size(kKindLetters); ++k)
    if (area[4] == kKindLetters[k]) return {static_cast<ImageKind>(k), le32(&area[8])};
  return {};
}

std::string flash_area_path(const std::string& state_path, FlashArea area) {
  std::string base = state_path;
  if (base.ends_with(".state")) base.resize(base.size() - 6);
  return base + (area == FlashArea::application ? ".application.bin" : ".bootloader.bin");
}

}  // namespace sim
