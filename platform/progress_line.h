// A line on a terminal that tells how far a long job has come.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/progress_report.h"

namespace platform {

// Keeps one line of `stream` up to date while a job runs: how many units are
// done of the total, how many values a second that makes and about how long
// is left ("duneforge: 12 of 64 tiles, 3.21 million values/s, 41 s left").
// It writes only when `stream` is a terminal, at most kUpdatesPerSecond
// times a second, and blanks the line again when cleared or destroyed, so
// whatever is printed next starts on a clean line. On anything else (a file,
// a pipe, a host that reads the output) it writes nothing at all.
class ProgressLine : public ProgressReport {
 public:
  static constexpr int kUpdatesPerSecond = 10;

  // `label` starts the line, `unit` names what is counted ("tiles"), `total`
  // is how many units the job has and `valuesPerUnit` how many values each
  // holds. Shows "0 of total" at once.
  ProgressLine(std::FILE* stream, std::string label, std::string unit, uint64_t total,
               uint64_t valuesPerUnit);
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Whether the line is shown at all: the stream is a terminal.
  bool Shown() const { return shown_; }
  // `done` units are finished. Redraws the line unless it was drawn less
  // than a tenth of a second ago.
  void Update(uint64_t done) override;
  // Blanks the line and stops showing it.
  void Clear();

  // Whether `stream` is a terminal.
  static bool IsTerminal(std::FILE* stream);

 private:
  void Draw(uint64_t done);

  std::FILE* stream_;
  std::string label_;
  std::string unit_;
  uint64_t total_;
  uint64_t valuesPerUnit_;
  bool shown_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDrawn_;
  // Characters of the line on screen, so a shorter one can blank the rest.
  size_t width_ = 0;
};

}  // namespace platform
