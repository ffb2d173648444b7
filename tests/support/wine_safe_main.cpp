// The tests' main on Windows: GoogleTest's own, except that the results of
// test parts (failures, skips) are printed without OutputDebugStringA.
// GoogleTest hands every such result to the debugger that way, and the
// system raises an exception to do it; where 32-bit Wine runs under
// qemu-i386, that exception ends the whole program, so a failing or skipped
// test would hide every result after it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

// Forwards every event to GoogleTest's own printer but the test part
// results, which it prints itself, as that printer does on other systems.
class PartResultsPrinter : public testing::TestEventListener {
 public:
  explicit PartResultsPrinter(testing::TestEventListener* printer) : printer_(printer) {}

  void OnTestProgramStart(const testing::UnitTest& u) override { printer_->OnTestProgramStart(u); }
  void OnTestIterationStart(const testing::UnitTest& u, int i) override {
    printer_->OnTestIterationStart(u, i);
  }
  void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override {
    printer_->OnEnvironmentsSetUpStart(u);
  }
  void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override { printer_->OnEnvironmentsSetUpEnd(u); }
  void OnTestSuiteStart(const testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
  void OnTestStart(const testing::TestInfo& t) override { printer_->OnTestStart(t); }
  void OnTestPartResult(const testing::TestPartResult& r) override {
    if (r.type() == testing::TestPartResult::kSuccess) return;
    const char* kind = r.type() == testing::TestPartResult::kSkip ? "Skipped" : "Failure";
    std::printf("%s:%d: %s\n%s\n", r.file_name() != nullptr ? r.file_name() : "unknown file", r.line_number(),
                kind, r.message());
    std::fflush(stdout);
  }
  void OnTestEnd(const testing::TestInfo& t) override { printer_->OnTestEnd(t); }
  void OnTestSuiteEnd(const testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override {
    printer_->OnEnvironmentsTearDownStart(u);
  }
  void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override {
    printer_->OnEnvironmentsTearDownEnd(u);
  }
  void OnTestIterationEnd(const testing::UnitTest& u, int i) override { printer_->OnTestIterationEnd(u, i); }
  void OnTestProgramEnd(const testing::UnitTest& u) override { printer_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<testing::TestEventListener> printer_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  listeners.Append(new PartResultsPrinter(listeners.Release(listeners.default_result_printer())));
  return RUN_ALL_TESTS();
}
