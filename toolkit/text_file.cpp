// The numbered text files: a registry of buffered writers over files opened by name.
#include "toolkit/text_file.h"

#include "toolkit/object_registry.h"
#include "toolkit/text_writer.h"

namespace lurvik {
namespace {

// Never destroyed: the program end closes the files explicitly, and another thread may
// still be writing while the process ends.
ObjectRegistry<BufferedTextWriter>& TextFiles() {
  static ObjectRegistry<BufferedTextWriter>& files = *new ObjectRegistry<BufferedTextWriter>();
  return files;
}

}  // namespace

intptr_t CreateTextFile(const std::string& path) {
  std::unique_ptr<FileSink> sink = OpenFileSink(path);
  if (!sink) return 0;
  intptr_t number = TextFiles().Add(ObjectRegistry<BufferedTextWriter>::kNewNumber,
                                    std::make_shared<BufferedTextWriter>(std::move(sink)));
  return number == ObjectRegistry<BufferedTextWriter>::kRefused ? 0 : number;
}

uint32_t WriteText(intptr_t file, const std::string& text) {
  if (text.empty()) return 0;
  std::shared_ptr<BufferedTextWriter> writer = TextFiles().Find(file);
  return writer ? writer->WriteText(text) : 0;
}

bool CloseTextFile(intptr_t file) {
  std::shared_ptr<BufferedTextWriter> writer = TextFiles().Take(file);
  return writer ? writer->Close() : false;
}

void CloseAllTextFiles() {
  for (const std::shared_ptr<BufferedTextWriter>& writer : TextFiles().TakeAll()) writer->Close();
}

}  // namespace lurvik
