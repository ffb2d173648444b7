// Writes a small MDL7 model with the installed model file library, opens it
// again by its magic and checks what it reads, and sees unknown bytes refused
// with their reason; checks that the exported plug-in and program paths
// exist. Prints "consumer: ok" and exits 0 when all holds.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "modelfiles/mdl7r.h"
#include "modelfiles/mdl7w.h"
#include "modelfiles/model_file_opener.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  modelfiles::MDL7W writer;
  if (writer.Open(argv[1]) < 0 || !writer.BeginGroup("hull") ||
      !writer.AddVertex(1.0f, 2.0f, 3.0f, modelfiles::MDL7W::kNoBone, 0.0f, 0.0f, 1.0f) ||
      !writer.FinishGroup() || !writer.Close()) {
    std::printf("consumer: cannot write %s\n", argv[1]);
    return 1;
  }
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(argv[1]);
  auto* reader = dynamic_cast<modelfiles::MDL7R*>(opened.reader.get());
  int32_t bones = -1, groups = -1, dataSize = -1, lumpSize = -1, secondLumpSize = -1;
  if (reader == nullptr || !reader->ReadHeaderCounts(bones, groups, dataSize, lumpSize, secondLumpSize) ||
      groups != 1) {
    std::printf("consumer: %s does not read back as one group\n", argv[1]);
    return 1;
  }
  uint8_t type = 0;
  int32_t size = 0;
  char name[modelfiles::MDL7R::kNameSize];
  int32_t skins, texCoords, triangles, vertices, frames;
  if (!reader->ReadGroup(type, size, name) ||
      !reader->ReadGroupCounts(skins, texCoords, triangles, vertices, frames) || vertices != 1) {
    std::printf("consumer: the group does not read back\n");
    return 1;
  }
  // Bytes in memory open the same way, and a refusal says why.
  const uint8_t junk[48] = {'A', 'B', 'C', 'D'};
  const modelfiles::ModelOpenResult refused = modelfiles::OpenModelBytes(junk, sizeof junk);
  if (refused.reader != nullptr || refused.reason.Text() != "unsupported format \"ABCD\"") {
    std::printf("consumer: unknown bytes were not refused with their reason\n");
    return 1;
  }
  struct stat info;
  if (stat(INSTALLED_PLUGIN, &info) != 0 || stat(INSTALLED_MODELINFO, &info) != 0) {
    std::printf("consumer: the exported plug-in or program is missing\n");
    return 1;
  }
  std::printf("consumer: ok (group \"%s\", %d vertex)\n", name, vertices);
  return 0;
}
