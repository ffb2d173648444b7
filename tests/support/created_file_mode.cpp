#include "support/created_file_mode.h"

#include <sys/stat.h>

namespace testsupport {

int CreatedFileMode(const std::string& path, const std::function<bool()>& create) {
#if defined(_WIN32)  // the runtime knows only read-only files
  (void)path;
  return create() ? 0600 : -1;
#else  // the process umask trims what the writer asks for
  const mode_t previous = ::umask(077);
  const bool created = create();
  ::umask(previous);
  struct stat info;
  if (!created || ::stat(path.c_str(), &info) != 0) return -1;
  return static_cast<int>(info.st_mode & 07777);
#endif
}

}  // namespace testsupport
