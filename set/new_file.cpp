#include "new_file.h"

#include "slots.h"

SystemError WriteNewFile(const std::string& path, const std::string& text) {
  FileSlot file;
  SystemError error = CreateNewFile(path, file.Receive());
  if (error != kNoError) return error;
  error = WriteAll(file.Get(), text.data(), text.size());
  const SystemError closed = file.Release();
  if (error == kNoError) error = closed;
  if (error != kNoError) RemoveFile(path);
  return error;
}
