// A relocation observer for tests: it records what the engine reports, as the page would show
// it, and lets a test act at a line of the log or at the nth file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "relocation/relocation_engine.h"

namespace tessaly::testing {

struct RelocationRecorder : RelocationObserver {
  void LogLine(const std::wstring& text) override {
    log.push_back(text);
    if (onLog) onLog(text);
  }
  void PhaseStarted(const std::wstring& phase, uint32_t count) override {
    phases.push_back(phase + L" " + std::to_wstring(count));
  }
  void FileStarted(const std::wstring& file) override {
    files.push_back(file);
    if (onFile) onFile(files.size());
  }
  void CopyProgress(uint64_t, uint64_t, uint32_t) override { ++copyReports; }
  void Failed(const std::wstring& message, bool steps, uint32_t, uint32_t) override {
    failures.push_back(message);
    recommendSteps = recommendSteps || steps;
  }
  void Finished(bool success) override { finished.push_back(success); }
  bool ConfirmDeletingDifferingOriginals(const std::wstring& question) override {
    questions.push_back(question);
    return answerYes;
  }

  bool Logged(const std::wstring& line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  std::vector<std::wstring> log, phases, files, failures, questions;
  bool answerYes = false;  // the answer to every question
  std::vector<bool> finished;
  bool recommendSteps = false;
  int copyReports = 0;
  std::function<void(const std::wstring&)> onLog;
  std::function<void(size_t)> onFile;
};

}  // namespace tessaly::testing
