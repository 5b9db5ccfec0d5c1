#include "report.h"

#include <bcm2835.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <ctime>

#include "child.h"
#include "identity.h"
#include "link_codes.h"
#include "recorder.h"
#include "records.h"

namespace {

struct ReportLine {
  error_codes code;
  const char* text;
};

// EkS is listed right after S1.
constexpr ReportLine kReportLines[] = {
    {_ERROR_SPI, "Ошибка работы SPI"},
    {_ERROR_EK, "Ошибка работы входа Ek"},
    {_ERROR_S0, "Ошибка работы входа S0"},
    {_ERROR_S1, "Ошибка работы входа S1"},
    {_ERROR_EKS, "Ошибка работы входа EkS"},
    {_ERROR_OpenDetector, "Ошибка работы входа определения открытия двери"},
    {_ERROR_REL0, "Ошибка работы выхода REL0"},
    {_ERROR_REL1, "Ошибка работы выхода REL1"},
    {_ERROR_REL2, "Ошибка работы выхода REL2"},
    {_ERROR_REL3, "Ошибка работы выхода REL3"},
    {_ERROR_BR, "Ошибка работы реле"},
    {_ERROR_ADC_BR, "Ошибка работы АЦП"},
    {_ERROR_ADC_IMIT, "Ошибка работы АЦП или транзистора иммитации"},
    {_ERROR_ADC_OD, "Ошибка работы АЦП или транзистора OD"},
    {_ERROR_AUDIO, "Ошибка работы звукового тракта"},
};

constexpr const char* kUploader = "./Sendrik/Sendrik";  // reads key=value lines, sends them after "send"
constexpr unsigned kUploaderStartMs = 500;
constexpr unsigned kUploadLineMs = 100;

uint32_t linkFailuresReported = 0;  // the link's failures before this pass

// While it lives, a write to a pipe whose reader has gone fails with EPIPE
// instead of ending the program; the signal that write raised is taken away
// before the old mask is back.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) != 0;
  }
  ~SigpipeHeld() {
    timespec none{};
    if (!wasPending_)
      while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
      }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeHeld(const SigpipeHeld&) = delete;
  SigpipeHeld& operator=(const SigpipeHeld&) = delete;

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool wasPending_ = false;
};

// Writes the lines to the uploader with their pauses; false when it did not
// take them all: a write failed (its reader had gone), or it did not run to its
// end, or it did not end in time (it is stopped then). Its own exit statuses
// say how the upload went and are not judged.
bool upload(uint32_t failures) {
  ShellCommand command(kUploader, ShellCommand::Pipe::to_child);
  FILE* uploader = command.stream();
  if (!uploader) return false;
  SigpipeHeld held;
  bool written = true;
  auto put = [&](const char* format, int32_t value) {
    std::fprintf(uploader, format, value);
    written = std::fflush(uploader) == 0 && written;
  };
  // The words go out signed: the server reads them so; uid3 repeats uid0.
  auto word = [](int i) { return static_cast<int32_t>(shieldSt.id[i].load()); };
  const struct {
    const char* format;
    int32_t value;
  } lines[] = {{"uid0=%d\n", word(0)},
               {"uid1=%d\n", word(1)},
               {"uid2=%d\n", word(2)},
               {"uid3=%d\n", word(0)},
               {"test=%d\n", static_cast<int32_t>(failures)}};
  bcm2835_delay(kUploaderStartMs);
  for (auto& line : lines) {
    put(line.format, line.value);
    bcm2835_delay(kUploadLineMs);
  }
  put("send\n", 0);
  auto status = command.wait_for(upload_waitLimitMs);
  if (!status) return false;
  ChildEnd end = child_end(*status);
  return written && !end.not_started && !end.signal && end.code >= 0;
}

}  // namespace

unsigned upload_waitLimitMs = _UPLOAD_WAIT_LIMIT_MS;

void report_beginPass() { linkFailuresReported = linkEvents.failures; }

void menu_block_StandReport() {
  // A link marked failed during the pass is reported, even when a later reply
  // has overwritten the mark since.
  uint32_t linkFailures = linkEvents.failures;
  if (linkFailures != linkFailuresReported || menuSt.functionRead == _FUNCTIONREAD_LINKFAILED) error_set(_ERROR_SPI);
  linkFailuresReported = linkFailures;

  uint32_t failures = error_st.stand;
  std::printf("\n\n-----------------Результат испытаний-----------------\n");
  uint8_t errorNumb = 0;
  for (auto& line : kReportLines) {
    if (!(failures >> line.code & 1)) continue;
    std::printf("%s\n", line.text);
    ++errorNumb;
  }
  std::printf("-----------------------------------------------------\n");
  std::printf("Количество ошибок: %d\n\n\n", errorNumb);
  const char* uploaded = "sent";
  if (shieldSt.firmware < _FIRMWARE_WITH_ID) {  // no identifier to file the results under
    std::printf("С текущей версией прошивки отправка данных на сервер не возможна\n");
    uploaded = "no-identifier";
  } else if (!shield_idComplete()) {
    // A word that did not come would go out as the last shield's, or as zero:
    // this shield's results would be filed under another identifier.
    std::printf("Ошибка: идентификатор шилда прочитан не полностью, отправка данных на сервер не возможна\n");
    uploaded = "identifier-incomplete";
  } else if (!upload(failures)) {
    std::printf("Error: Отсутствую файлы для отправки на сервер\n");
    uploaded = "failed";
  }
  record_report(failures, errorNumb, uploaded);
  error_st.stand = 0;
}
