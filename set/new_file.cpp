#include "new_file.h"

#include "naming.h"
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

SystemError WriteWholeFile(const std::string& path, const std::string& text, bool executable) {
  std::string dir = path.substr(0, path.size() - SourceFileName(path).size());
  if (dir.empty()) dir = ".";
  const std::string temporary = MakeTemporaryPath(dir, MakeRunTag(), "file");
  SystemError error = WriteNewFile(temporary, text);
  if (error == kNoError && executable) error = MakeExecutable(temporary);
  if (error == kNoError) error = RenameReplacing(temporary, path);
  if (error != kNoError) RemoveFile(temporary);
  return error;
}
