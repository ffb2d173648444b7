// Base of every model file reader: the whole file in memory and a bounded cursor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modelfiles/image_size.h"
#include "platform/failure_reason.h"

namespace modelfiles {

// Loads a whole model file into one buffer that it owns (or copies there the
// bytes a caller already holds), keeps the file open while the model is in
// use and hands out records through a cursor that never leaves the readable
// part of the buffer. Records are not copied: `Take` returns a pointer into
// the buffer, valid until the reader closes.
// Concrete readers check the header in `Attach` and implement the structural
// walk with the record sizes of their format. Nothing here throws.
//
// Beside its truth value or descriptor, every operation that refuses the
// file or a record keeps the reason in `LastFailure`: why the file could not
// be opened, where a record runs past the end of the data and which record
// it is, which field holds a value the format refuses. A successful Open
// resets it; calls made without an open model, or without the record they
// refer to, leave it as it was.
class ModelReader {
 public:
  // Format codes, fixed by each concrete class.
  static constexpr int32_t kFormatIdpo = 1;  // IDPO and MDL2
  static constexpr int32_t kFormatIdp2 = 2;
  static constexpr int32_t kFormatMdl3 = 4;
  static constexpr int32_t kFormatMdl4 = 5;
  static constexpr int32_t kFormatMdl5 = 6;
  static constexpr int32_t kFormatMdl6 = 7;
  static constexpr int32_t kFormatMdl7 = 8;
  // No model file is shorter than this.
  static constexpr uint32_t kMinimumFileSize = 48;
  // Files are held in one buffer addressed by 32-bit offsets; larger files
  // are refused.
  static constexpr int64_t kMaximumFileSize = 0x7FFFFFFF;

  explicit ModelReader(int32_t formatCode);
  ModelReader(const ModelReader&) = delete;
  ModelReader& operator=(const ModelReader&) = delete;
  // Releases the buffer and closes the file.
  virtual ~ModelReader();

  // Opens the file for reading, loads it whole and attaches the model.
  // Returns the descriptor, or a negative value when the file cannot be
  // opened, is shorter than 48 bytes, cannot be read or allocated, or is
  // refused by `Attach`; the reader is then closed. A reader that is open is
  // closed first.
  [[nodiscard]] virtual int32_t Open(const char* path);
  // Opens a copy of the `size` bytes at `bytes` as Open opens a file's
  // content, with the same checks and the same `Attach`; no file is opened,
  // so the descriptor stays -1. True when the model is attached. A reader
  // that is open is closed first.
  [[nodiscard]] bool OpenBytes(const uint8_t* bytes, size_t size);

  // Why the last operation that failed refused the file or a record.
  const platform::FailureReason& LastFailure() const { return lastFailure_; }
  // The reason for a file whose first four bytes name no format the reader
  // reads: "unsupported format "ABCD"", bytes outside printable ASCII shown
  // as \xNN.
  static platform::FailureReason UnsupportedMagic(const uint8_t* magic);

 protected:
  // Checks the magic and header of the file that Open loaded into `buffer`
  // and sets the header pointer, the readable size (`SetReadableSize`) and
  // the cursor (`SetCursor`). `size` is the file size. Returns a positive
  // value when the model is accepted, 0 when it is refused. Virtual
  // operations are declared in the order of the reader interface's slots.
  virtual int32_t Attach(const uint8_t* buffer, uint32_t size) = 0;

 public:
  // Releases the buffer and closes the file; the reader can be opened again.
  // Always true.
  virtual bool Close();

  // The structural walk, in file order. Each returns false as soon as a
  // record does not fit in the readable size.
  // Passes over all bone records.
  [[nodiscard]] virtual bool SkipBones() = 0;
  // Passes over the body of the current group: skins, texture coordinates,
  // triangles, vertices and frames.
  [[nodiscard]] virtual bool WalkGroup() = 0;
  // Passes over the image data and trailing records of the skin just read.
  [[nodiscard]] virtual bool SkipSkinData() = 0;
  // Reads every skin's header and passes over its data.
  [[nodiscard]] virtual bool WalkSkins() = 0;
  [[nodiscard]] virtual bool SkipTexCoords() = 0;
  [[nodiscard]] virtual bool SkipTriangles() = 0;
  [[nodiscard]] virtual bool SkipVertices() = 0;
  // Passes over the data that follows the frame header just read.
  [[nodiscard]] virtual bool SkipFrameData() = 0;
  // Reads every frame's header and passes over its data.
  [[nodiscard]] virtual bool WalkFrames() = 0;

  // The next `count` bytes, advancing the cursor past them; null when fewer
  // remain, and the cursor then stands at the end of the readable size. A
  // count that was negative before it became unsigned is larger than any
  // remainder and fails. A failure is reported as the record `what`
  // truncated at the offset where it starts.
  [[nodiscard]] const uint8_t* Take(uint32_t count, const char* what = "record");
  // `Take` as a truth value.
  [[nodiscard]] bool Skip(uint32_t count, const char* what = "record") {
    return Take(count, what) != nullptr;
  }
  // Moves the cursor to `offset` from the start of the buffer when the offset
  // is below the readable size; otherwise changes nothing and returns false.
  bool SeekTo(uint32_t offset);
  // The cursor's distance from the start of the buffer.
  uint32_t Offset() const { return cursor_; }
  // Positions the open file at the cursor's offset, so that the file and the
  // cursor agree; returns the descriptor (negative when no file is open).
  int32_t SyncFilePosition();
  // Moves the cursor to the open file's current position by the rule of
  // `SeekTo`; false when no file is open or the position is not readable.
  bool SyncCursor();

  int32_t FormatCode() const { return formatCode_; }
  int32_t Descriptor() const { return fd_; }
  // The loaded file, null while closed.
  const uint8_t* Buffer() const { return buffer_; }
  // Bytes of the file that was loaded.
  uint32_t BufferSize() const { return bufferSize_; }
  // Bytes from the start of the buffer that the cursor may use.
  uint32_t ReadableSize() const { return readableSize_; }
  uint32_t Remaining() const { return readableSize_ - cursor_; }

 protected:
  // Limits the readable size to the loaded bytes and moves the cursor inside.
  void SetReadableSize(uint32_t size);
  // Places the cursor without the rule of `SeekTo`; an offset past the
  // readable size puts it at the end.
  void SetCursor(uint32_t offset);
  // Passes over `count` records of `recordSize` bytes each, sized in 64 bits.
  // A negative count fails without moving, reported as the malformed field
  // `countField` at file offset `countOffset`; a run that does not fit moves
  // the cursor to the end and fails, as `Take` does, reported as the record
  // `what` truncated where the first record that does not fit starts.
  [[nodiscard]] bool SkipRecords(int64_t count, uint32_t recordSize, const char* what, const char* countField,
                                 uint64_t countOffset);

  // Keeps `reason` as the last failure and returns false, so that a failing
  // operation can end with `return Fail(...)`.
  bool Fail(const platform::FailureReason& reason);
  // Fails as a malformed `field` at file offset `offset`.
  bool FailMalformed(const char* field, uint64_t offset) {
    return Fail(platform::FailureReason::Malformed(field, offset));
  }
  // Whether a Read operation may take a record when the file's `count` (the
  // field `field` at file offset `offset`) is what it is: a positive count
  // may, 0 may not, and a negative one fails as malformed.
  bool CountAllowsRecord(int64_t count, const char* field, uint64_t offset) {
    return count < 0 ? FailMalformed(field, offset) : count > 0;
  }
  // Fails as a skin image level of `width` x `height` pixels that cannot be
  // sized: a negative width or height (the field at its offset) is
  // malformed, anything else is too large.
  bool FailSkinSize(int64_t width, uint64_t widthOffset, int64_t height, uint64_t heightOffset);
  // Takes `levelCount` levels of a skin image of `width` x `height` pixels
  // (the fields at file offsets `widthOffset` and `heightOffset`) of
  // `bytesPerPixel` bytes, pointing each non-null output at its level. A
  // level that is passed over must fit as well: a skin cut short by the end
  // of the file is never reported as read.
  [[nodiscard]] bool TakeSkinLevels(int32_t width, uint64_t widthOffset, int32_t height,
                                    uint64_t heightOffset, int32_t bytesPerPixel, int32_t levelCount,
                                    const uint8_t** const (&outputs)[kMipLevelCount]);
  // The file offset of `record`, a pointer into the buffer.
  uint64_t OffsetOf(const uint8_t* record) const { return static_cast<uint64_t>(record - buffer_); }

 private:
  // Releases what Open acquired; the non-virtual part of Close.
  void CloseFileAndBuffer();
  // Checks the size of the file or bytes about to be loaded; false, with the
  // reason, when it is too short or too large to hold.
  bool CheckLoadSize(int64_t size);
  // Attaches the loaded buffer; false, with the reader closed and the
  // reason kept, when `Attach` refuses it.
  bool AttachLoaded();

  int32_t fd_ = -1;
  uint8_t* buffer_ = nullptr;
  uint32_t bufferSize_ = 0;
  uint32_t cursor_ = 0;
  uint32_t readableSize_ = 0;
  const int32_t formatCode_;
  platform::FailureReason lastFailure_;
};

}  // namespace modelfiles
