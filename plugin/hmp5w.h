// Streams an HMP terrain file: header, skins and frames.
#pragma once

#include <cstdint>

#include "platform/branch_hint.h"
#include "platform/record_file_writer.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp_records.h"

namespace loamwriter {

// Writes one HMP5 file at a time. Every operation that reports a write has
// its bytes in the file before it returns; only vertices are gathered into
// blocks, which go out when a block fills and, at the latest, before the
// frame header is rewritten. The file, skin and frame headers stay in
// memory: each is written provisionally and rewritten in place once its
// final values are known. Once a write or rewrite has failed the file is not
// whole: every later record is refused and Close reports false. The writer
// owns the open descriptor; the destructor writes the gathered vertices but
// otherwise leaves an open file as it is (with its provisional header). Not
// thread-safe.
class HMP5W {
 public:
  // `blockBytes`: how many bytes of vertices are gathered before they go to
  // the file in one write.
  explicit HMP5W(uint32_t blockBytes = platform::RecordFileWriter::kDefaultBlockBytes);
  virtual ~HMP5W();
  HMP5W(const HMP5W&) = delete;
  HMP5W& operator=(const HMP5W&) = delete;

  // Creates or truncates `path` and writes the provisional header. A file that
  // is still open is closed first, as Close does. Returns the new descriptor,
  // or a negative value when the file cannot be created or its header cannot
  // be written whole (the writer then holds no open file). A null path is
  // refused and changes nothing.
  [[nodiscard]] virtual int Open(const char* path);
  // Writes the file into `descriptor` instead, an empty file open for
  // writing at offset 0 that the caller keeps: Close leaves it open for its
  // owner (a platform::FileReplacement, say) to finish. Results as Open; a
  // negative descriptor is refused and changes nothing.
  [[nodiscard]] virtual int OpenDescriptor(int descriptor);
  // Writes the gathered vertices, rewrites the header at offset 0 with the
  // final values and closes the file. False when the file is not whole: a
  // write or rewrite failed, now or earlier (it is closed either way, and the
  // header is still rewritten); true with no file open.
  [[nodiscard]] bool Close();

  // Starts a skin of the 8-bit type code: counts it and writes its header with
  // width and height 0. `name` is accepted but not stored. True when the
  // header was written whole.
  [[nodiscard]] bool BeginSkin(uint8_t type, const char* name);
  // Sets the current skin's size, bytes per pixel and whether three mip levels
  // follow level 0. Writes nothing; always true.
  bool SetSkinImage(int32_t width, int32_t height, int32_t bytesPerPixel, bool mipmaps);
  // Writes level 0 (width x height x bytes per pixel bytes; width x height for
  // type 6) and, with mip levels on, levels 1 to 3, each half the size of the
  // one before per side. The mip pointers may be null without mip levels.
  // True when every level was written whole; false at the first short write,
  // a missing buffer, a negative size or a level too large for one write.
  [[nodiscard]] bool WriteSkinImage(const uint8_t* level0, const uint8_t* mip1, const uint8_t* mip2,
                                    const uint8_t* mip3);
  // Rewrites the current skin's header with its real size and returns to the
  // end of the data. True when that worked or no skin was begun in this file.
  [[nodiscard]] bool FinishSkin();

  // Starts a frame named by at most 15 characters of `name` (null: no name):
  // counts it and writes its header. True when the header was written whole.
  [[nodiscard]] bool BeginFrame(const char* name);
  // Adds one vertex: the packed height and nx, ny x 127 truncated to 8 bits
  // (nz is not stored). Vertices of the first frame are counted in the
  // header. The 4 bytes join the block of vertices; true unless the file is
  // not whole or a full block that went out came up short.
  [[nodiscard]] bool AddFrameVertex(uint16_t height, float nx, float ny, float /*nz*/) {
    if (header.numFrames == 1) Increment(header.numVertices);
    // The HmpVertex bytes in file order, built in one register: a record
    // assembled field by field in memory and then copied whole would wait
    // for its parts to reach memory, which costs more than the rest.
    const uint32_t vertex =
        uint32_t{height} | uint32_t{PackNormal(nx)} << 16 | uint32_t{PackNormal(ny)} << 24;
    if (TOOLKIT_UNLIKELY(!file_.AppendWord(vertex))) return false;
    return true;
  }
  // Writes the gathered vertices, then rewrites the current frame's header
  // and returns to the end of the data. True when that worked or no frame
  // was begun in this file.
  [[nodiscard]] bool FinishFrame();

  // Why the last operation that returned false or a negative descriptor
  // failed: the file's reason once a write has failed (every later record is
  // refused for it), else the argument that was refused. Kept until the next
  // Open.
  const platform::FailureReason& LastFailure() const;

  // Descriptor of the open file; -1 when no file is open.
  int32_t fd;
  // The file header; scale, offset and parameters are set by the caller
  // between Open and Close, the counters by the operations above.
  HmpHeader header;
  // Header of the current skin.
  HmpSkinHeader skin;
  // File position of the current skin's header; -1 when no skin was begun in
  // the open file.
  int64_t skinPos;
  // Bytes per pixel of the current skin.
  int32_t skinBytesPerPixel;
  // Whether WriteSkinImage writes the three mip levels.
  bool skinMipmaps;
  // Header of the current frame.
  HmpFrameHeader frame;
  // File position of the current frame's header; -1 when no frame was begun
  // in the open file.
  int64_t framePos;

 protected:
  // The steps of Open and OpenDescriptor: a path, or (null) the descriptor.
  int OpenWithMagic(const char* path, int descriptor, const char (&magic)[5], int32_t version);

 private:
  // A normal component as a vertex stores it: x 127, truncated toward zero,
  // low 8 bits. 1.0 gives 127, -1.0 gives 0x81 (-127) and 2.0 gives 254,
  // read back as -2.
  static uint8_t PackNormal(float component) { return TruncateLow8(static_cast<double>(component) * 127.0); }
  // Counters wrap instead of overflowing after 2^31 calls.
  static void Increment(int32_t& counter) {
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
  }
  // Appends `size` bytes and writes them out with whatever is gathered.
  bool WriteNow(const void* data, int64_t size);
  // Rewrites the record at `position` and writes it out.
  bool Patch(int64_t position, const void* data, uint32_t size);
  // Keeps `reason` as the last failure; false.
  bool Refuse(const platform::FailureReason& reason);

  platform::RecordFileWriter file_;
  platform::FailureReason failure_;
};

}  // namespace loamwriter
