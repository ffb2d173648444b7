#include "support/temp_dir_fixture.h"

#include "platform/file_fault_injector.h"

namespace testsupport {

void TempDirFixture::TearDown() { platform::FileFaultInjector::Reset(); }

}  // namespace testsupport
