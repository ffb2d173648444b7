#include "platform/progress_line.h"

#include <cinttypes>
#include <utility>

#if defined(_WIN32)  // the runtime's own terminal test
#include <io.h>
#else  // POSIX
#include <unistd.h>
#endif

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

std::string Rate(double valuesPerSecond) {
  char text[48];
  if (valuesPerSecond >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f million values/s", valuesPerSecond / 1e6);
  } else if (valuesPerSecond >= 1e3) {
    std::snprintf(text, sizeof text, "%.1f thousand values/s", valuesPerSecond / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.0f values/s", valuesPerSecond);
  }
  return text;
}

// "under 1 s", "41 s", "3 min 20 s", "2 h 05 min".
std::string Duration(double seconds) {
  const uint64_t whole = seconds < 1e9 ? static_cast<uint64_t>(seconds + 0.5) : UINT64_C(999999999);
  char text[48];
  if (whole == 0) {
    std::snprintf(text, sizeof text, "under 1 s");
  } else if (whole < 60) {
    std::snprintf(text, sizeof text, "%" PRIu64 " s", whole);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%" PRIu64 " min %02" PRIu64 " s", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%" PRIu64 " h %02" PRIu64 " min", whole / 3600, whole / 60 % 60);
  }
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* stream, std::string label, std::string unit, uint64_t total,
                           uint64_t valuesPerUnit)
    : stream_(stream),
      label_(std::move(label)),
      unit_(std::move(unit)),
      total_(total),
      valuesPerUnit_(valuesPerUnit),
      shown_(stream != nullptr && IsTerminal(stream)),
      start_(Clock::now()),
      lastDrawn_(start_) {
  if (shown_) Draw(0);
}

ProgressLine::~ProgressLine() { Clear(); }

bool ProgressLine::IsTerminal(std::FILE* stream) {
#if defined(_WIN32)  // a console
  return _isatty(_fileno(stream)) != 0;
#else  // a terminal device
  return ::isatty(::fileno(stream)) != 0;
#endif
}

void ProgressLine::Update(uint64_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (now - lastDrawn_ < std::chrono::milliseconds(1000 / kUpdatesPerSecond)) return;
  lastDrawn_ = now;
  Draw(done);
}

void ProgressLine::Draw(uint64_t done) {
  std::string text = label_ + ": " + std::to_string(done) + " of " + std::to_string(total_) + " " + unit_;
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  if (done > 0 && seconds > 0.0) {
    const double rate = static_cast<double>(done) * static_cast<double>(valuesPerUnit_) / seconds;
    text += ", " + Rate(rate);
    if (done < total_ && rate > 0.0) {
      const double left = static_cast<double>(total_ - done) * static_cast<double>(valuesPerUnit_) / rate;
      text += ", " + Duration(left) + " left";
    }
  }
  // Back to the start of the line; blanks cover what is left of a longer one.
  const size_t drawn = text.size();
  if (drawn < width_) text.append(width_ - drawn, ' ');
  width_ = drawn;
  std::fprintf(stream_, "\r%s", text.c_str());
  std::fflush(stream_);
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fprintf(stream_, "\r%s\r", std::string(width_, ' ').c_str());
  std::fflush(stream_);
  shown_ = false;
  width_ = 0;
}

}  // namespace platform
