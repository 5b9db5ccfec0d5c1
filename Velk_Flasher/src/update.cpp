#include "update.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <span>

#include "SPI.h"
#include "bcm2835_ext.h"
#include "firmware.h"

char BootLoaderUpdate;
uint8_t Contr;

namespace {

constexpr unsigned kResetHoldMs = 2000;
constexpr unsigned kStartModeSetupMs = 10;
constexpr unsigned kResetSettleMs = 2000;
constexpr int kDetectTries = 3;
constexpr uint32_t kSendPauseMs = 5;
constexpr uint32_t kDetectReplyMs = 5;
constexpr uint32_t kCommandReplyMs = 100;
constexpr uint32_t kEraseReplyMs = 10000;
constexpr uint32_t kCurrentBootloaderMin = 1000;
constexpr uint32_t kCurrentBootloaderMax = 10000;

enum class StepKind : uint8_t { detect, command, transfer };

struct Step {
  const char* header;
  StepKind kind;
  uint8_t address;
  SPI_Command_enum command = SPIc_null;  // of a command step
  uint32_t wait_read = 0;                // of a command step
  firmware_st* image = nullptr;          // of a transfer
  const char* failure = "";
  int status = 0;
  bool restart = false;  // then reset the shield into its program
};

constexpr uint8_t kBoot = kAddressBootloader;
constexpr uint8_t kTrojan = kAddressTrojan;
using enum StepKind;

constexpr Step kDetectBootloader = {.header = "\n Step 1  Detected Bootloader ",
                                    .kind = detect,
                                    .address = kBoot,
                                    .failure = "ERROR: Bootloader не найден",
                                    .status = 0};

// Steps 2 to 10: the bootloader installs the trojan, the trojan the new bootloader.
constexpr Step kReplaceBootloader[] = {
    {"\n Step 2  Erase firmware ", command, kBoot, SPIc_Erase, kEraseReplyMs, nullptr,
     "ERROR: Ошибка удаления firmware", 1},
    {"\n Step 3 Programming trojan ", command, kBoot, SPIc_ProgStart, kCommandReplyMs, nullptr,
     "ERROR: Ошибка перехода в режим программирования trojan", 7},
    {"\n Step 4 Transmit trojan", transfer, kBoot, SPIc_null, 0, &f_trojan, "ERROR: Ошибка передачи trojan", 8},
    {"\n Step 5 Reset ", command, kBoot, SPIc_ProgEnd, kCommandReplyMs, nullptr,
     "ERROR: Ошибка окончании записи trojan", 9, true},
    {"\n Step 6  Detected trojan ", detect, kTrojan, SPIc_null, 0, nullptr, "ERROR: Trojan не найден", 10},
    {"\n Step 7  Erase bootloader ", command, kTrojan, SPIc_Erase, kEraseReplyMs, nullptr,
     "ERROR: Ошибка удаления bootloader", 11},
    {"\n Step 8 Programming bootloader ", command, kTrojan, SPIc_ProgStart, kCommandReplyMs, nullptr,
     "ERROR: Ошибка перехода в режим программирования bootloader", 12},
    {"\n Step 9 Transmit bootloader", transfer, kTrojan, SPIc_null, 0, &f_boot, "ERROR: Ошибка передачи bootloader",
     13},
    {"\n Step 10 Reset ", command, kTrojan, SPIc_ProgEnd, kCommandReplyMs, nullptr,
     "ERROR: Ошибка завершении передачи bootloader", 14, true},
};

// Steps 11 to 15: the bootloader installs the firmware.
constexpr Step kUpdateFirmware[] = {
    {"\n Step 11  Detected Bootloader ", detect, kBoot, SPIc_null, 0, nullptr, "ERROR: Bootloader не найден", 0},
    {"\n Step 12  Erase firmware ", command, kBoot, SPIc_Erase, kEraseReplyMs, nullptr,
     "ERROR: Ошибка удаления firmware", 1},
    {"\n Step 13 Programming firmware ", command, kBoot, SPIc_ProgStart, kCommandReplyMs, nullptr,
     "ERROR: Ошибка перехода в режим программирования firmware", 2},
    {"\n Step 14 Transmit firmware", transfer, kBoot, SPIc_null, 0, &f_firmware, "ERROR: Ошибка передачи firmware", 4},
    {"\n Step 15 Reset ", command, kBoot, SPIc_ProgEnd, kCommandReplyMs, nullptr, "ERROR: Ошибка завершения прошивки",
     4, true},
};

// Three tries, each a reset into the program that answers to `address` and
// a presence exchange of up to ten attempts.
bool presence_test(uint8_t address) {
  for (int t = 0; t < kDetectTries; ++t) {
    ResetController(address == kBoot ? HIGH : LOW);
    Contr = SPI_send(SPIc_STMdetect, address, kDetectReplyMs, kSendPauseMs, 0);
    if (Contr & kReplyValid) return true;
  }
  return false;
}

bool step_done(const Step& s) {
  switch (s.kind) {
    case detect:
      return presence_test(s.address);
    case command:
      return SPI_send(s.command, s.address, s.wait_read, kSendPauseMs, 1) & kReplyValid;
    case transfer:
      return firmware_send(s.image, s.address) == 1;
  }
  return false;
}

// Runs the steps in order; the status of the first that fails, if one does.
std::optional<int> run_steps(std::span<const Step> steps) {
  for (const Step& s : steps) {
    std::printf("%s\n", s.header);
    if (!step_done(s)) {
      std::printf("%s\n", s.failure);
      return s.status;
    }
    if (s.restart) {
      ResetController(LOW);
      std::printf("Успешно!\n");
    }
  }
  return std::nullopt;
}

// The three images, open for the run and closed at its end.
class OpenImages {
 public:
  explicit OpenImages(const char* firmware_path) {
    f_trojan.name = std::fopen("Osmu_Trojan.bin", "rb");
    f_boot.name = std::fopen("Velk_BootLoaderSPI_v1001.bin", "rb");
    f_firmware.name = std::fopen(firmware_path, "rb");
  }
  ~OpenImages() {
    for (auto* image : {&f_trojan, &f_boot, &f_firmware}) {
      if (image->name) std::fclose(image->name);
      image->name = nullptr;
    }
  }
  OpenImages(const OpenImages&) = delete;
  OpenImages& operator=(const OpenImages&) = delete;
  bool all_open() const { return f_trojan.name && f_boot.name && f_firmware.name; }
};

int update(const char* firmware_path) {
  OpenImages images(firmware_path);
  if (!images.all_open()) {
    std::printf("ERROR: Ошибка открытия файла\n");
    return kExitNoFile;
  }
  if (!init()) return kExitNoPeripherals;
  if (auto failed = run_steps({&kDetectBootloader, 1})) return *failed;
  std::printf("\n");
  if (!(SPI_send(SPIc_ReadVersion_Boot, kBoot, kCommandReplyMs, kSendPauseMs, 0) & kReplyValid)) {
    std::printf("ERROR: Ошибка считывания версси bootloader\n");
    return 6;
  }
  SPI_FunctionDo();
  if (!bootloader_replaced(BootLoaderUpdate, f_boot.version))
    std::printf("\nПерепрошивка буда отключена\n");
  else if (auto failed = run_steps(kReplaceBootloader))
    return *failed;
  if (auto failed = run_steps(kUpdateFirmware)) return *failed;
  return kExitSuccess;
}

}  // namespace

bool init() {
  if (!bcm2835_init()) {
    std::printf("ERROR: Нет доступа к периферии Raspberry Pi (требуются права root)\n");
    return false;
  }
  // SPI0 is claimed first: started without root it cannot be, and then no line
  // of the shield has been touched yet.
  if (!bcm2835_spi_begin()) {
    std::printf("ERROR: Нет доступа к контроллеру SPI (требуются права root)\n");
    return false;
  }
  bcm2835_gpio_fsel(PIN_STM_INT, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_fsel(PIN_RST, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_write(PIN_RST, LOW);
  bcm2835_spi_setBitOrder(BCM2835_SPI_BIT_ORDER_MSBFIRST);
  bcm2835_spi_setDataMode(BCM2835_SPI_MODE0);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
  bcm2835_spi_chipSelect(BCM2835_SPI_CS0);
  bcm2835_spi_setChipSelectPolarity(BCM2835_SPI_CS0, LOW);
  return true;
}

void ResetController(uint8_t pin_boot) {
  bcm2835_gpio_write(PIN_RST, LOW);
  bcm2835_delay(kResetHoldMs);
  bcm2835_gpio_write(PIN_STM_INT, pin_boot);
  bcm2835_delay(kStartModeSetupMs);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(kResetSettleMs);
}

bool bootloader_replaced(char policy, uint32_t version) {
  if (policy == '0') return false;
  if (policy == '2') return true;
  return version < kCurrentBootloaderMin || version > kCurrentBootloaderMax;
}

int flasher_main(int argc, char** argv) {
  // Its log is only a log: a reader that goes away (a closed pipe) must not
  // stop an update half-way, leaving an erased shield. Writes just fail then.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc <= 1) {
    std::printf("ERROR:Не хватает аргументов\n");
    return kExitNoArgument;
  }
  BootLoaderUpdate = argc >= 3 ? argv[2][0] : 0;
  return update(argv[1]);
}
