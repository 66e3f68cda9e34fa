// The file layer: one small owner of an operating-system file handle with exactly
// what the tag formats and decoders need. Every operation says whether it worked;
// reads and writes also report how many bytes actually moved, and a short count is
// how callers notice the end of a file or a failure.
#pragma once
#include <cstdint>

// Why the last Open failed, as a person would say it.
enum class FileFailure {
  None,
  NotFound,      // no such file (or folder on the way)
  IsFolder,      // the path names a folder
  AccessDenied,  // not allowed (read-only for writing, permissions)
  InUse,         // another program holds it without sharing
  Other,
};

enum class FileMode {
  Read,          // read access, others may read and write, the file must exist
  Update,        // read and write access, others may read and write, the file must exist
  UpdateOrCreate,// as Update, but a missing file is created
  CreateAlways,  // read and write access, no sharing, any old content is dropped
};

class File {
 public:
  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const char* path, FileMode mode);
  bool IsOpen() const;
  void Close();

  bool Read(void* data, uint32_t size, uint32_t* moved);
  bool Write(const void* data, uint32_t size, uint32_t* moved);
  // Convenience forms: true only when the whole count moved.
  bool ReadFull(void* data, uint32_t size);
  bool WriteFull(const void* data, uint32_t size);

  bool SeekFromStart(uint32_t position);
  bool SeekRelative(int32_t delta);
  uint32_t Position();
  // The file's size; an error counts as 0.
  uint32_t Size();
  // Cuts (or extends) the file at the current position.
  bool Truncate();
  // Hands what was written to the disk; false when the system could not store it.
  bool Flush();

  // Whether the last failed Open failed because another program holds the file
  // without sharing it.
  bool LastFailureWasSharingViolation() const { return failure_ == FileFailure::InUse; }
  FileFailure LastFailure() const { return failure_; }

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
  FileFailure failure_ = FileFailure::None;
};

// Sets the file to exactly `size` bytes and checks that it took.
bool ResizeFile(File& file, uint32_t size);
